// The print request and the progress window that carries the run: what the window shows while
// pages go out, Esc before and during a run, and failures that neither hang nor leave a document open.
#include "component/BatchHost.h"
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "dialogs/PrintStatusWindow.h"
#include "platform/print/PrintDialogModule.h"
#include "platform/print/Printer.h"
#include "preview/PreviewWindow.h"
#include "support/EngineFixture.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <optional>

using namespace telmo;
using namespace telmo::test;
using OpKind = RecordingPrinter::OpKind;
using Counts = std::pair<size_t, size_t>;

namespace {

// Samples the progress window as each page is finished (and can run a test step at the first), and
// reads the bar as each body is painted too, to see it step through the page.
class SamplingPrinter : public RecordingPrinter {
public:
    void NewPage() override { Sample(), RecordingPrinter::NewPage(); }
    void EndDoc() override { Sample(), RecordingPrinter::EndDoc(); }
    void DrawPicture(const PicturePtr& picture, const QRectF& dest, const QRectF& source) override {
        bar << BarPercent();
        RecordingPrinter::DrawPicture(picture, dest, source);
    }
    QStringList texts;
    QList<int> bar;       // percent of the bar filled: at each body painted, and at each sample
    bool visible = false; // at the last sample
    std::function<void()> onFirstNewPage;

private:
    static int BarPercent() {
        const PrintStatusWindow* w = State().frmPrintStatus.IfLoaded();
        return w ? 100 * (w->ProgBar->value() - w->ProgBar->minimum()) /
                       std::max(1, w->ProgBar->maximum() - w->ProgBar->minimum())
                 : -1;
    }
    void Sample() {
        const PrintStatusWindow* w = State().frmPrintStatus.IfLoaded();
        texts << (w ? w->lblStatus->text() : "<no window>");
        bar << BarPercent();
        visible = w && w->isVisible();
        if (onFirstNewPage && CurrentPage() == 1)
            std::exchange(onFirstNewPage, nullptr)();
    }
};

class PrintStatusTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        auto recorder = std::make_unique<SamplingPrinter>();
        sampler = recorder.get();
        Printers::SetCurrent(std::move(recorder));
        printer.emplace();
    }
    void TearDown() override {
        EXPECT_FALSE(State().frmPrintStatus.IsLoaded()) << "every request ends with the window closed";
        printer.reset();
        EngineTest::TearDown();
    }
    size_t Count(OpKind kind) const { return sampler->OpsOf(kind).size(); }
    Counts NewPagesAndDocs() const { return {Count(OpKind::NewPage), Count(OpKind::EndDoc)}; }
    void Reset() { sampler->ClearOps(), sampler->texts.clear(), sampler->bar.clear(), messages.clear(); }
    // A grid of one page, or of three row bands (of 600-twip rows) on the recording printer's page.
    void Print(int pages) {
        printer->SourceGrid(pages == 1
                                ? MakeSourceGrid(6, 3)
                                : MakeSourceGrid(RowsForRowBands(3, sampler->ScaleHeight()), 4, 1500, 600));
        printer->PrintReport(kAutomationFalse);
    }
    SamplingPrinter* sampler = nullptr;
    std::optional<IPrinter> printer;
};

} // namespace

// Each page is named as it is finished, its bar starting afresh at half and full once its body is
// drawn; the preview form stays loaded and hidden.
TEST_F(PrintStatusTest, TheWindowNamesEachPageInTurn) {
    Print(1);
    EXPECT_EQ(
        std::tuple(sampler->texts, sampler->bar, sampler->visible, NewPagesAndDocs(), State().PagesPrinted),
        std::tuple(QStringList{"Page 1 of 1 is Printing"}, QList<int>{50, 100}, true, Counts(0, 1), 1));
    ASSERT_TRUE(State().frmPreview.IsLoaded());
    EXPECT_FALSE(State().frmPreview.IfLoaded()->isVisible() || State().IsPreviewMode);
    Reset();
    Print(3);
    EXPECT_EQ(std::tuple(sampler->texts, sampler->bar, NewPagesAndDocs(), messages.size()),
              std::tuple(QStringList{"Page 1 of 3", "Page 2 of 3", "Page 3 of 3", "Page 3 of 3"},
                         QList<int>{50, 100, 50, 100, 50, 100, 100}, Counts(3, 1), size_t{0}));
}

TEST_F(PrintStatusTest, EscBeforeTheRunClosesTheWindowAndPrintsNothing) {
    bool windowWasThere = false;
    // The window waits a second before its run; Esc comes well within it.
    QTimer::singleShot(100, [&] {
        if (PrintStatusWindow* window = State().frmPrintStatus.IfLoaded()) {
            windowWasThere = window->isVisible() && window->StartPending();
            EXPECT_EQ(window->lblStatus->text(), "Loading Please Wait ....");
            QTest::keyClick(window, Qt::Key_Escape);
        }
    });
    Print(1);
    EXPECT_TRUE(windowWasThere && sampler->Ops().empty() && messages.empty());
    // Run unseen, the start is due at once: a stop asked in the same pass of timers still wins.
    RunReportsUnseen(true);
    windowWasThere = false;
    QTimer::singleShot(0, [&] {
        if (PrintStatusWindow* window = State().frmPrintStatus.IfLoaded()) {
            windowWasThere = window->StartPending();
            window->RequestCancel();
        }
    });
    Print(1);
    RunReportsUnseen(false);
    EXPECT_TRUE(windowWasThere && sampler->Ops().empty() && messages.empty());
}

// Esc or the Cancel button during the run stops it after the page being printed: the window stays
// while that page goes out, the pages printed are ended as one document, and the user is told.
TEST_F(PrintStatusTest, EscOrCancelDuringTheRunStopsItBetweenPages) {
    for (const bool esc : {true, false}) {
        SCOPED_TRACE(esc ? "Esc" : "Cancel");
        Reset();
        bool stillOpenAfterCancel = false;
        sampler->onFirstNewPage = [&] {
            PrintStatusWindow* window = State().frmPrintStatus.IfLoaded();
            ASSERT_NE(window, nullptr);
            esc ? QTest::keyClick(window, Qt::Key_Escape)
                : QTest::mouseClick(window->cmdCancel, Qt::LeftButton);
            QApplication::processEvents();
            stillOpenAfterCancel = State().frmPrintStatus.IsLoaded() && window->CancelRequested();
        };
        Print(3);
        EXPECT_EQ(std::tuple(stillOpenAfterCancel, NewPagesAndDocs(), sampler->InDocument(),
                             State().PrintCancelled, State().PagesPrinted),
                  std::tuple(true, Counts(1, 1), false, true, 1));
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text,
                  "Printing cancelled after 1 of 3 pages; the job was withdrawn from printer " +
                      sampler->DeviceName() + ", nothing of it prints.");
    }
    Reset(); // the next run prints in full
    Print(3);
    EXPECT_EQ(std::tuple(NewPagesAndDocs(), State().PrintCancelled, messages.size()),
              std::tuple(Counts(3, 1), false, size_t{0}));
}

// A failure at the end or halfway is reported by the window, which closes; the pages drawn are ended
// as one document, so the next run starts afresh.
TEST_F(PrintStatusTest, AFailureInTheRunIsReportedAndEndsItsDocument) {
    for (const auto& [kind, nth, pages, where] : {std::tuple(OpKind::EndDoc, 1, 1, "9004.Timer"),
                                                  std::tuple(OpKind::NewPage, 2, 3, "9007.PrintAllPages")}) {
        Reset();
        sampler->FailOn(kind, nth);
        Print(pages);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(LogText().contains(QStringLiteral("PrinterComponent.%1\t482\t").arg(where)))
            << LogText().toStdString();
        ASSERT_FALSE(sampler->InDocument() || sampler->Ops().empty());
        EXPECT_EQ(sampler->Ops().back().kind, OpKind::EndDoc);
    }
    Reset();
    printer->PrintReport(kAutomationFalse);
    const std::vector<RecordingPrinter::Op> texts = sampler->OpsOf(OpKind::Text);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(std::tuple(messages.size(), Count(OpKind::EndDoc), texts.front().page, texts.back().page),
              std::tuple(size_t{0}, size_t{1}, 1, 3));
}

TEST_F(PrintStatusTest, TheDialogRouteAsksFirstAndACancelChangesNothing) {
    const auto grid = MakeSourceGrid(6, 3);
    grid->SetFixedRows(2);
    printer->SourceGrid(grid);
    int asked = 0;
    SetPrintDialogRunner([&](QWidget* owner, uint32_t flags, DeviceMode&) {
        ++asked;
        EXPECT_EQ(owner, State().frmPreview.IfLoaded());
        EXPECT_EQ(flags, 64u);
        return false;
    });
    State().IsPreviewMode = true;
    State().FixedRowCount = 7;
    printer->PrintReport(kAutomationTrue);
    EXPECT_EQ(std::tuple(asked, sampler->Ops().size(), State().IsPreviewMode, State().FixedRowCount,
                         State().frmPreview.IsLoaded()),
              std::tuple(1, size_t{0}, true, int16_t{7}, true));

    printer->PrintReport(AutomationBool{1}); // any value but -1 prints at once, without the dialog
    EXPECT_EQ(std::tuple(asked, Count(OpKind::EndDoc), State().FixedRowCount, messages.size()),
              std::tuple(1, size_t{1}, int16_t{2}, size_t{0}));
}

TEST_F(PrintStatusTest, PrintingWithoutAGridIsReportedByTheRequest) {
    printer->PrintReport(kAutomationFalse);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(LogText().contains("PrinterComponent.9000.PrintReport\t91\t")) << LogText().toStdString();
    EXPECT_TRUE(sampler->Ops().empty());
    // A preview without a grid is no error: it says what to do, opens no window and logs nothing.
    const QString logged = LogText();
    State().IsPreviewMode = false;
    printer->ShowPreview();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(std::tuple(messages[1].text, messages[1].title, State().CurrentAction, LogText()),
              std::tuple("Please Assign the Source Grid to print or preview", "TELMO Preview", "show preview",
                         logged));
    EXPECT_FALSE(State().IsPreviewMode || State().frmPreview.IsLoaded());
}

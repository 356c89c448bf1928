// The print request and the progress window that carries the run: what the window shows
// while pages go out, Esc before and during a run, and failures that must neither hang the
// host nor leave a document open for the next run to join.
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "dialogs/PrintStatusWindow.h"
#include "platform/PrintDialogModule.h"
#include "platform/Printer.h"
#include "preview/PreviewWindow.h"
#include "support/EngineFixture.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

using namespace telmo;
using namespace telmo::test;
using OpKind = RecordingPrinter::OpKind;

namespace {

// What the progress window showed at one moment of the run.
struct StatusSample {
    QString text;
    int bar = 0;
    int barMaximum = 0;
    bool visible = false;
};

// A recording printer that looks at the progress window whenever a page is finished (a new
// page or the end of the document) and can run a step of the test there.
class SamplingPrinter : public RecordingPrinter {
public:
    void NewPage() override {
        Sample();
        RecordingPrinter::NewPage();
    }
    void EndDoc() override {
        Sample();
        RecordingPrinter::EndDoc();
    }

    std::vector<StatusSample> samples;
    std::function<void()> onFirstNewPage;

private:
    void Sample() {
        PrintStatusWindow* window = State().frmPrintStatus.IfLoaded();
        if (!window) {
            samples.push_back({QStringLiteral("<no window>"), 0, 0, false});
            return;
        }
        samples.push_back({window->lblStatus->text(), window->ProgBar->value(), window->ProgBar->maximum(),
                           window->isVisible()});
        if (onFirstNewPage && CurrentPage() == 1) {
            auto step = std::move(onFirstNewPage);
            onFirstNewPage = nullptr;
            step();
        }
    }
};

class PrintStatusTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        auto printer = std::make_unique<SamplingPrinter>();
        sampler = printer.get();
        Printers::SetCurrent(std::move(printer));
    }
    void TearDown() override {
        SetPrintDialogRunner(nullptr);
        EngineTest::TearDown();
    }

    size_t Count(OpKind kind) const { return sampler->OpsOf(kind).size(); }

    // A grid of three row bands (each of 600-twip rows) on the recording printer's page.
    std::shared_ptr<GridControl> ThreePageGrid() {
        return MakeSourceGrid(RowsForRowBands(3, sampler->ScaleHeight()), 4, 1500, 600);
    }

    SamplingPrinter* sampler = nullptr;
};

} // namespace

TEST_F(PrintStatusTest, AOnePageRunSaysSoAndSendsOneSheet) {
    auto grid = MakeSourceGrid(6, 3);
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.PrintReport(kAutomationFalse);

    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(sampler->samples.size(), 1u);
    const StatusSample& atEnd = sampler->samples[0];
    EXPECT_EQ(atEnd.text, "Page 1 of 1 is Printing");
    EXPECT_EQ(atEnd.bar, atEnd.barMaximum);
    EXPECT_TRUE(atEnd.visible);
    EXPECT_EQ(Count(OpKind::NewPage), 0u);
    EXPECT_EQ(Count(OpKind::EndDoc), 1u);
    // Page number, then titles, then the body.
    ASSERT_FALSE(sampler->Ops().empty());
    EXPECT_EQ(sampler->Ops().front().kind, OpKind::Text);
    EXPECT_TRUE(sampler->Ops().front().text.startsWith(QStringLiteral("Page 1 of 1")));
    // The window has gone; the preview form stays loaded and hidden.
    EXPECT_FALSE(State().frmPrintStatus.IsLoaded());
    ASSERT_TRUE(State().frmPreview.IsLoaded());
    EXPECT_FALSE(State().frmPreview.IfLoaded()->isVisible());
    EXPECT_FALSE(State().IsPreviewMode);
    EXPECT_EQ(State().FixedRowCount, 1);
}

TEST_F(PrintStatusTest, AThreePageRunNamesEachPageInTurn) {
    auto grid = ThreePageGrid();
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.PrintReport(kAutomationFalse);

    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(State().TotalPages, 3);
    std::vector<QString> texts;
    for (const StatusSample& sample : sampler->samples)
        texts.push_back(sample.text);
    // Sampled as each page is finished, and once more at the end of the document.
    EXPECT_EQ(texts, (std::vector<QString>{"Page 1 of 3", "Page 2 of 3", "Page 3 of 3", "Page 3 of 3"}));
    EXPECT_EQ(Count(OpKind::NewPage), 3u);
    EXPECT_EQ(Count(OpKind::EndDoc), 1u);
    EXPECT_FALSE(State().frmPrintStatus.IsLoaded());
}

TEST_F(PrintStatusTest, EscBeforeTheRunClosesTheWindowAndPrintsNothing) {
    auto grid = MakeSourceGrid(6, 3);
    bool windowWasThere = false;
    // The window waits a second before its run; Esc comes well within it.
    QTimer::singleShot(100, [&] {
        if (PrintStatusWindow* window = State().frmPrintStatus.IfLoaded()) {
            windowWasThere = window->isVisible() && window->StartPending();
            EXPECT_EQ(window->lblStatus->text(), "Loading Please Wait ....");
            QTest::keyClick(window, Qt::Key_Escape);
        }
    });
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.PrintReport(kAutomationFalse);
    EXPECT_TRUE(windowWasThere);
    EXPECT_TRUE(sampler->Ops().empty());
    EXPECT_FALSE(State().frmPrintStatus.IsLoaded());
    EXPECT_TRUE(messages.empty());
}

TEST_F(PrintStatusTest, EscDuringTheRunIsIgnoredAndEveryPageGoesOut) {
    auto grid = ThreePageGrid();
    bool stillOpenAfterEsc = false;
    sampler->onFirstNewPage = [&] {
        PrintStatusWindow* window = State().frmPrintStatus.IfLoaded();
        ASSERT_NE(window, nullptr);
        QTest::keyClick(window, Qt::Key_Escape);
        QApplication::processEvents();
        stillOpenAfterEsc = State().frmPrintStatus.IsLoaded();
    };
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.PrintReport(kAutomationFalse);
    EXPECT_TRUE(stillOpenAfterEsc);
    EXPECT_EQ(Count(OpKind::NewPage), 3u);
    EXPECT_EQ(Count(OpKind::EndDoc), 1u);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(State().frmPrintStatus.IsLoaded());
}

TEST_F(PrintStatusTest, AFailureInTheRunIsReportedByTheWindowWhichThenCloses) {
    auto grid = MakeSourceGrid(6, 3);
    sampler->FailOn(OpKind::EndDoc, 1);
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.PrintReport(kAutomationFalse);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(LogText().contains(QStringLiteral("PrinterComponent.9004.Timer\t482\t")))
        << LogText().toStdString();
    EXPECT_FALSE(State().frmPrintStatus.IsLoaded());
    EXPECT_FALSE(sampler->InDocument());
}

TEST_F(PrintStatusTest, ARunThatFailsHalfwayEndsItsDocumentSoTheNextRunStartsAfresh) {
    auto grid = ThreePageGrid();
    sampler->FailOn(OpKind::NewPage, 2);
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.PrintReport(kAutomationFalse);
    EXPECT_EQ(messages.size(), 1u);
    // The pages drawn are sent as their own document.
    EXPECT_FALSE(sampler->InDocument());
    ASSERT_FALSE(sampler->Ops().empty());
    EXPECT_EQ(sampler->Ops().back().kind, OpKind::EndDoc);

    sampler->ClearOps();
    messages.clear();
    printer.PrintReport(kAutomationFalse);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Count(OpKind::EndDoc), 1u);
    const std::vector<RecordingPrinter::Op> texts = sampler->OpsOf(OpKind::Text);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front().page, 1);
    EXPECT_EQ(texts.back().page, 3);
}

TEST_F(PrintStatusTest, TheDialogRouteAsksFirstAndACancelChangesNothing) {
    auto grid = MakeSourceGrid(6, 3);
    grid->SetFixedRows(2);
    int asked = 0;
    SetPrintDialogRunner([&](QWidget* owner, uint32_t flags, DeviceMode&) {
        ++asked;
        EXPECT_EQ(owner, State().frmPreview.IfLoaded());
        EXPECT_EQ(flags, 64u);
        return false;
    });
    IPrinter printer; // a new object resets FixedRowCount, so it is set after
    printer.SourceGrid(grid);
    State().IsPreviewMode = true;
    State().FixedRowCount = 7;
    printer.PrintReport(kAutomationTrue);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(sampler->Ops().empty());
    EXPECT_TRUE(State().IsPreviewMode);
    EXPECT_EQ(State().FixedRowCount, 7);
    EXPECT_TRUE(State().frmPreview.IsLoaded());

    // Any value but -1 prints at once, without the dialog.
    printer.PrintReport(AutomationBool{1});
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Count(OpKind::EndDoc), 1u);
    EXPECT_EQ(State().FixedRowCount, 2);
    EXPECT_TRUE(messages.empty());
}

TEST_F(PrintStatusTest, PrintingWithoutAGridIsReportedByTheRequest) {
    IPrinter printer;
    printer.PrintReport(kAutomationFalse);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(LogText().contains(QStringLiteral("PrinterComponent.9000.PrintReport\t91\t")))
        << LogText().toStdString();
    EXPECT_FALSE(State().frmPrintStatus.IsLoaded());
    EXPECT_TRUE(sampler->Ops().empty());
}

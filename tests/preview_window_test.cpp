// The preview window on the offscreen platform: real clicks and keys, modal dialogs answered.
#include "component/BatchHost.h"
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "dialogs/PageSelectionDialog.h"
#include "dialogs/PageSettingsDialog.h"
#include "engine/PrintDataSettings.h"
#include "platform/Twips.h"
#include "platform/grid/GridControl.h"
#include "platform/print/PrintDialogModule.h"
#include "platform/ui/PictureBox.h"
#include "platform/ui/RepaintLock.h"
#include "preview/PageComposer.h"
#include "preview/PreviewWindow.h"
#include "preview/ThumbnailPanel.h"
#include "support/EngineFixture.h"

#include "support/ModalWindows.h"
#include "support/PictureOps.h"

#include <QApplication>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

using namespace telmo;
using namespace telmo::test;

namespace {

using OpKind = RecordingPrinter::OpKind;
using Buttons = std::vector<bool>;
const Buttons kAllOff{false, false, false, false}, kAtFirst{false, false, true, true},
    kInside{true, true, true, true}, kAtLast{true, true, false, false};

class PreviewWindowTest : public EngineTest {
protected:
    static void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }
    static QString Row1Cell(int row) { return QStringLiteral("r%1c1").arg(row); }
    // Body rows of 970 twips: twelve a page on the recorder's Letter page.
    void GridOfPages(int pages) { MakeSourceGrid(12 * pages - 6, 3, 1000, 970); }
    PreviewWindow& OpenPreview() { // shown as ShowPreview does, without its modal loop
        PreviewWindow& preview = State().frmPreview.Get();
        preview.show();
        QApplication::processEvents();
        return preview;
    }
    Buttons MoveButtons() const {
        Buttons enabled;
        for (QPushButton* button : State().frmPreview.IfLoaded()->cmdMove)
            enabled.push_back(button->isEnabled());
        return enabled;
    }
    QString Caption() const { return State().frmPreview.IfLoaded()->lbPageNo->text(); }
    bool PreviewClosed() {
        QApplication::processEvents();
        return !State().frmPreview.IsLoaded();
    }
    // The texts of the printed pages, body pictures opened up.
    std::vector<QStringList> PrintedPages() {
        std::vector<QStringList> pages;
        for (const auto& op : Recorder().Ops()) {
            if (op.kind == OpKind::NewPage || op.kind == OpKind::EndDoc)
                continue;
            pages.resize(std::max(pages.size(), static_cast<size_t>(op.page)));
            if (op.kind == OpKind::Text)
                pages[op.page - 1] << op.text;
            else if (op.picture)
                for (const PlacedText& text : Flatten(*op.picture).texts)
                    pages[op.page - 1] << text.text;
        }
        return pages;
    }
    size_t Count(OpKind kind) { return Recorder().OpsOf(kind).size(); }
    static void Type(QLineEdit* box, const QString& text) {
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    static void SettleThumbnails(const ThumbnailPanel& panel) {
        for (int turns = 0; turns < 1000 && (turns < 3 || panel.IsComposing()); ++turns)
            QApplication::processEvents();
    }
};

} // namespace

TEST_F(PreviewWindowTest, NavigationFollowsTheButtonTableAndComposesEachPage) {
    using Step = std::tuple<int, int, Buttons>; // button clicked, page then shown, buttons enabled
    const std::vector<std::pair<int, std::vector<Step>>> reports{
        {2, {{2, 2, kAtLast}, {1, 1, kAtFirst}, {1, 1, kAtFirst}}}, // a disabled button does nothing
        {3, {{2, 2, kInside}, {3, 3, kAtLast}, {1, 2, kInside}, {2, 3, kAtLast}, {0, 1, kAtFirst}}}};
    for (const auto& [pages, steps] : reports) {
        GridOfPages(pages);
        PreviewWindow& preview = OpenPreview();
        for (const auto& [button, page, enabled] : steps) {
            SCOPED_TRACE(QStringLiteral("%1 pages, to page %2").arg(pages).arg(page).toStdString());
            Click(preview.cmdMove[button]);
            EXPECT_EQ(std::tuple(int(State().CurrentPage), Caption(), MoveButtons()),
                      std::tuple(page, QStringLiteral("Page %1 of %2").arg(page).arg(pages), enabled));
            // The page composed is that block: its number and first body row, not the row before.
            const PlacedOps shown = Flatten(*preview.pbTempData->Picture());
            const int start = State().PageBlocks[page].StartRow;
            EXPECT_TRUE(shown.FindText(Caption()) && shown.FindText(Row1Cell(start)) &&
                        (page == 1 || !shown.FindText(Row1Cell(start - 1))));
        }
        UnloadAllForms();
    }
    EXPECT_TRUE(messages.empty() && RepaintLock::Holder() == nullptr);
}

TEST_F(PreviewWindowTest, AOnePageReportPrintsStraightAwayAndThePopupActsLikeTheButtons) {
    MakeSourceGrid(5, 3);
    PreviewWindow& preview = OpenPreview();
    EXPECT_EQ(std::tuple(preview.windowTitle(), MoveButtons()),
              std::tuple("Print Preview  [ Recorder ]", kAllOff));
    Recorder().ClearOps();
    Click(preview.cmdOperations[0]);
    const auto pages = PrintedPages();
    ASSERT_EQ(std::tuple(pages.size(), Count(OpKind::Picture), Count(OpKind::NewPage),
                         State().frmPageSelection.IsLoaded()),
              std::tuple(1u, 1u, 0u, false));
    EXPECT_TRUE(Recorder().Ops().back().kind == OpKind::EndDoc && pages[0].contains("Page 1 of 1") &&
                pages[0].contains("r4c2"));
    Recorder().ClearOps();
    QTest::keyClick(preview.pbBase, Qt::Key_P, Qt::ControlModifier); // Ctrl+P prints as Print does
    EXPECT_EQ(PrintedPages(), pages);
    // A right click, on the page or around it, opens the popup, once.
    int popups = 0;
    QObject::connect(preview.PrintPopup, &QMenu::aboutToShow, [&] { ++popups; });
    for (QWidget* target : std::initializer_list<QWidget*>{preview.pbData, preview.pbBase}) {
        QTest::mouseClick(target, Qt::RightButton, {}, QPoint(2, 2));
        EXPECT_TRUE(std::exchange(popups, 0) == 1 && preview.PrintPopup->isVisible());
        preview.PrintPopup->hide();
    }
    preview.MenuClose->trigger();
    EXPECT_TRUE(PreviewClosed());
    // A print from the popup that fails is reported, ends its document and closes the window.
    PreviewWindow& again = OpenPreview();
    Recorder().ClearOps();
    Recorder().FailOn(OpKind::Picture, 1);
    again.MenuPrint->trigger();
    EXPECT_TRUE(PreviewClosed() && Count(OpKind::EndDoc) == 1 && !Recorder().InDocument());
    EXPECT_TRUE(LogText().contains("PrinterComponent.9003.PrintData\t482\tPrinter error"));
}

TEST_F(PreviewWindowTest, ASinglePageOfAMultiPageModeAsksForPage2AndCloses) {
    // Mode 1: the last row joins its band though it overflows; 3 and 4: one band wider than the page.
    for (const auto& [mode, colWidth] : {std::pair{kRowsSplit, 1000}, std::pair{kColumnsSplit, 11000},
                                         std::pair{kRowsAndColumnsSplit, 11000}}) {
        SCOPED_TRACE(mode);
        MakeSourceGrid(3, 2, colWidth, 300)->SetRowHeight(2, mode == kColumnsSplit ? 300 : 12000);
        PreviewWindow& preview = OpenPreview();
        ASSERT_TRUE(State().PaginationMode == mode && State().TotalPages == 1);
        EXPECT_EQ(MoveButtons(), kAtFirst);
        Click(preview.cmdMove[2]);
        EXPECT_TRUE(PreviewClosed() && RepaintLock::Holder() == nullptr &&
                    std::exchange(messages, {}).size() == 1);
        EXPECT_TRUE(
            LogText().contains("PrinterComponent.9003.cmdButtonMoveControl\t9\tSubscript out of range"));
    }
}

TEST_F(PreviewWindowTest, EscClosesTheWindowFromAnyControlAndEndsTheModalLoop) {
    GridOfPages(3);
    for (int control = 0; control < 4; ++control) {
        PreviewWindow& preview = OpenPreview();
        preview.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&preview));
        QWidget* targets[] = {preview.cmdMove[2], preview.cmdOperations[3], preview.HS, preview.pbData};
        targets[control]->setFocus();
        QTest::keyClick(targets[control], Qt::Key_Escape);
        EXPECT_TRUE(PreviewClosed()) << "control " << control;
    }
    WhenOpens<PreviewWindow>([](PreviewWindow& preview) { // fails the test unless the preview opens modally
        QTest::keyClick(preview.cmdMove[2], Qt::Key_Escape);
    });
    IPrinter().ShowPreview();
    EXPECT_TRUE(PreviewClosed() && messages.empty());
    // Undriven, a dialog of the preview is reported and ends it; one that waits fails and is closed.
    QTimer guard;
    guard.callOnTimeout([] {
        ADD_FAILURE() << "a dialog waited";
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    guard.start(5000);
    PreviewWindow& preview = OpenPreview();
    DriveUnseenWindows(false);
    Click(preview.cmdOperations[3]);
    DriveUnseenWindows(true);
    ASSERT_TRUE(PreviewClosed() && messages.size() == 1);
    EXPECT_TRUE(
        messages[0].text.contains("the window \"Printer Option\" cannot be shown: there is no display"));
}

TEST_F(PreviewWindowTest, ZoomAlternatesAndTheViewsMatchTheWorkedExamples) {
    MakeSourceGrid(5, 3);
    PreviewWindow& full = OpenPreview();
    QPushButton* zoom = full.cmdOperations[2];
    const float fitWidth = full.pbData->Width();
    for (bool fit : {false, true}) {
        Click(zoom);
        EXPECT_EQ(std::tuple(full.FitToWindow, zoom->text(), full.pbData->Width()),
                  std::tuple(fit, fit ? "&Zoom In" : "&Zoom Out", fit ? fitWidth : 12240.0f));
    }
    // The viewport's border takes 15 twips a side: outer = inner + 30.
    auto zoomOutIn = [&](float outerWidth) {
        full.pbBase->Move(0, 425, outerWidth, 7030);
        full.SetWindowForZoomOut();
    };
    zoomOutIn(11030);
    ASSERT_EQ(full.pbData->ScaleWidth(), 12210);
    EXPECT_EQ(
        std::tuple(full.HS->isEnabled(), full.HS->maximum(), full.HS->pageStep(), full.HS->singleStep()),
        std::tuple(true, 1390, 11000, 10)); // a trough click pages by the viewport
    full.HS->setValue(500);
    EXPECT_EQ(full.pbData->Left(), 60 - 500);
    zoomOutIn(14030);
    EXPECT_EQ(std::tuple(full.HS->isEnabled(), full.pbData->Left()), std::tuple(false, 1150.0f));
    zoomOutIn(11520 + 180 + 30); // exactly page + 180 does not fit
    EXPECT_TRUE(full.HS->isEnabled());
    UnloadAllForms();
    // A printable area of 11000 x 15000 in an 11000 x 7000 viewport: 45 per cent fits.
    UsePrinter(11000, 15000, 11500, 15500);
    MakeSourceGrid(5, 3);
    PreviewWindow& fit = OpenPreview();
    fit.pbBase->Move(0, 425, 11030, 7030);
    ASSERT_EQ(fit.pbBase->ScaleWidth(), 11000);
    fit.SetWindowForZoomIn();
    EXPECT_EQ(QRectF(fit.pbData->Left(), fit.pbData->Top(), fit.pbData->Width(), fit.pbData->Height()),
              QRectF(2995, 95, 4950, 6750));
    EXPECT_FALSE(fit.HS->isEnabled());
    // A tiny window gives the viewport no negative size; enlarged again, the fit view fills it.
    fit.setMinimumSize(0, 0);
    for (QSize size : {QSize(40, 20), QSize(1, 1), QSize(300, 40), QSize(1200, 900)}) {
        fit.resize(size);
        QApplication::processEvents();
        EXPECT_GE(std::min({fit.pbBase->Width(), fit.pbBase->Height(), float(fit.HS->width())}), 0);
    }
    EXPECT_GT(fit.pbData->Height(), 8160 - 425 - 255 - 200);
}

// Print, Option and Setup on a three-page report.
TEST_F(PreviewWindowTest, PrintAsksWhichPagesAndOptionAndSetupLayOutAgainFromPage1) {
    GridOfPages(3);
    PreviewWindow& preview = OpenPreview();

    Click(preview.cmdMove[2]);
    const QString start2 = Row1Cell(State().PageBlocks[2].StartRow),
                  start3 = Row1Cell(State().PageBlocks[3].StartRow);
    // 0 cancels, 1 chooses all pages, 2 the current page; the current page again after all pages.
    for (int choice : {0, 2, 1, 2}) {
        SCOPED_TRACE(choice);
        Recorder().ClearOps();
        WhenOpens<PageSelectionDialog>([choice](PageSelectionDialog& dialog) {
            if (choice != 0)
                (choice == 1 ? dialog.opPageSelection1 : dialog.opPageSelection2)->setChecked(true);
            Click(choice == 0 ? dialog.CancelButton : dialog.OKButton);
        });
        Click(preview.cmdOperations[0]);
        const auto pages = PrintedPages();
        ASSERT_EQ(
            std::tuple(pages.size(), Count(OpKind::EndDoc), Count(OpKind::NewPage)),
            std::tuple(std::vector<size_t>{0, 3, 1}[choice], choice == 0 ? 0u : 1u, choice == 1 ? 3u : 0u));
        if (choice == 0)
            continue;
        const QStringList& second = pages[choice == 1 ? 1 : 0];
        EXPECT_TRUE(second.contains("Page 2 of 3") && second.contains(start2) && !second.contains(start3) &&
                    (choice == 2 || pages[2].contains("Page 3 of 3")));
    }
    EXPECT_TRUE(State().CurrentPage == 2 && messages.empty());
    // Option OK refits at page 1.
    Click(preview.cmdMove[2]);
    Click(preview.cmdOperations[2]);
    WhenOpens<PageSettingsDialog>([](PageSettingsDialog& dialog) {
        dialog.cbPageAlign->setCurrentIndex(dialog.cbPageAlign->findText("Top Left"));
        Click(dialog.cmdOption[0]);
    });
    Click(preview.cmdOperations[3]);
    EXPECT_EQ(std::tuple(State().RefreshPending, State().CurrentPage, preview.FitToWindow, Caption()),
              std::tuple(false, 1, true, "Page 1 of 3"));
    // The flattened picture is kept: the text found points into it.
    const auto flat = Flatten(*preview.pbTempData->Picture());
    ASSERT_NE(flat.FindText("Page 1 of 3"), nullptr);
    EXPECT_LT(flat.FindText("Page 1 of 3")->at.y(), 1500);
    // Setup cancelled still lays out again from page 1 in the view in force, naming the new printer at once.
    Click(preview.cmdMove[2]);
    Click(preview.cmdOperations[2]);
    QWidget* owner = nullptr;
    SetPrintDialogRunner([&](QWidget* dialogOwner, uint32_t, DeviceMode&) {
        owner = dialogOwner;
        Printers::SetCurrent(std::make_unique<RecordingPrinter>(11520, 15120, 12240, 15840, "Other"));
        return false;
    });
    Click(preview.cmdOperations[1]);
    EXPECT_EQ(std::tuple(owner, preview.windowTitle(), Caption(), MoveButtons(), preview.FitToWindow,
                         preview.cmdOperations[2]->text()),
              std::tuple(&preview, "Print Preview  [ Other ]", "Page 1 of 3", kAtFirst, false, "&Zoom Out"));
    EXPECT_TRUE(State().RefreshPending && !QApplication::overrideCursor() && !PreviewClosed());
    // A heading column wider than the page alone: no page, and the window shows none of the report before.
    ASSERT_TRUE(Flatten(*preview.pbTempData->Picture()).FindText("Page 1 of 3"));
    MakeSourceGrid(5, 1, 20000);
    CalculagePrintDataSettings();
    EXPECT_EQ(std::tuple(State().TotalPages, State().PageBlocks.size()), std::tuple(int16_t{0}, size_t{1}));
    EXPECT_TRUE(!preview.pbTempData->Picture() && !preview.pbData->Picture());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(LogText().contains("9007.CalculagePrintDataSettings\t9\tSubscript out of range"));
}

TEST(RepaintLockTest, OneWidgetAtATimeAndTheScopedLockReleasesOnlyItsOwn) {
    QWidget first, second, child(&first);
    ASSERT_TRUE(RepaintLock::LockWindowUpdate(&first));
    EXPECT_FALSE(first.updatesEnabled() || child.updatesEnabled());
    { ScopedRepaintLock refused(&second); } // could not take the lock: must not release it
    EXPECT_TRUE(RepaintLock::Holder() == &first && second.updatesEnabled());
    RepaintLock::LockWindowUpdate(nullptr);
    EXPECT_TRUE(first.updatesEnabled() && child.updatesEnabled());
    {
        ScopedRepaintLock taken(&second);
        EXPECT_EQ(RepaintLock::Holder(), &second);
    }
    EXPECT_TRUE(RepaintLock::Holder() == nullptr && second.updatesEnabled());
}

// Keys, wheel, page box and zoom box in one sequence on five pages. Each row: the page shown, the
// zoom (0: fitted) and the vertical scroll position (-1: not looked at, -2: its maximum).
TEST_F(PreviewWindowTest, KeysWheelAndBoxesTurnPagesScrollAndZoom) {
    GridOfPages(5);
    PreviewWindow& preview = OpenPreview();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_GE(preview.width(), screen.width() * 4 / 5); // a useful first size, centred
    EXPECT_NEAR(preview.x() + preview.width() / 2, screen.center().x(), 1);
    QWidget* view = preview.pbBase;
    const auto key = [&](int k, Qt::KeyboardModifiers m = {}) {
        return [&, k, m] { QTest::keyClick(view, Qt::Key(k), m); };
    };
    const auto wheel = [&](int dy, Qt::KeyboardModifiers m = {}) {
        return [&, dy, m] {
            const QPointF at(view->width() / 2.0, view->height() / 2.0);
            QWheelEvent event(at, view->mapToGlobal(at), {}, {0, dy}, Qt::NoButton, m, Qt::NoScrollPhase,
                              false);
            QApplication::sendEvent(view, &event);
        };
    };
    const auto scrollTo = [&](int value, std::function<void()> then) {
        return [&, value, then] {
            preview.VS->setValue(value < 0 ? preview.VS->maximum() : value);
            then();
        };
    };
    const float arrow = PixelsToTwips(40), notch = PixelsToTwips(60);
    struct Step {
        const char* what;
        std::function<void()> input;
        int page, percent, scroll;
    };
    const std::vector<Step> steps{
        {"PageDown", key(Qt::Key_PageDown), 2, 0, -1},
        {"End", key(Qt::Key_End), 5, 0, -1},
        {"PageUp", key(Qt::Key_PageUp), 4, 0, -1},
        {"Home", key(Qt::Key_Home), 1, 0, -1},
        {"wheel down, fitted", wheel(-120), 2, 0, -1},
        {"half a notch turns nothing", wheel(-60), 2, 0, -1},
        {"wheel up, fitted", wheel(120), 1, 0, -1},
        {"page box 4", [&] { Type(preview.txtPage, "4"); }, 4, 0, -1},
        {"page box past the end", [&] { Type(preview.txtPage, "99"); }, 5, 0, -1},
        {"PageUp", key(Qt::Key_PageUp), 4, 0, -1},
        {"zoom box 100", [&] { Type(preview.cbZoom->lineEdit(), "100"); }, 4, 100, -1},
        {"+", key(Qt::Key_Plus), 4, 125, -1},
        {"-", key(Qt::Key_Minus), 4, 100, -1},
        {"Ctrl+wheel up", wheel(120, Qt::ControlModifier), 4, 125, -1},
        {"Ctrl+wheel down", wheel(-120, Qt::ControlModifier), 4, 100, -1},
        {"Down", scrollTo(0, key(Qt::Key_Down)), 4, 100, int(arrow)},
        {"wheel down inside the page", wheel(-120), 4, 100, int(arrow + notch)},
        {"wheel down at the foot", scrollTo(-1, wheel(-120)), 5, 100, 0},
        {"wheel up at the top", wheel(120), 4, 100, -2},
        {"zoom box 1000", [&] { Type(preview.cbZoom->lineEdit(), "1000"); }, 4, 400, -1},
        {"+ at 400", key(Qt::Key_Plus), 4, 400, -1},
        {"Ctrl+0", key(Qt::Key_0, Qt::ControlModifier), 4, 0, -1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.input();
        // Fitted, the box shows the page's scale, whatever it came to.
        const int percent = step.percent == 0 ? qRound(preview.ZoomFactor() * 100) : step.percent;
        EXPECT_EQ(std::tuple(int(State().CurrentPage), preview.FitToWindow,
                             qRound(preview.ZoomFactor() * 100),
                             step.scroll == -1 ? -1 : preview.VS->value()),
                  std::tuple(step.page, step.percent == 0, percent,
                             step.scroll == -2 ? preview.VS->maximum() : step.scroll));
        EXPECT_EQ((QStringList{Caption(), preview.txtPage->text(), preview.cbZoom->currentText()}),
                  (QStringList{QStringLiteral("Page %1 of 5").arg(step.page), QString::number(step.page),
                               QStringLiteral("%1%").arg(percent)}));
    }
    // Fit width: the whole width in view, nothing to scroll across.
    preview.cbZoom->setCurrentIndex(1);
    emit preview.cbZoom->activated(1);
    EXPECT_TRUE(preview.IsFitWidth() && !preview.HS->isEnabled() && preview.VS->isEnabled() &&
                preview.pbData->Left() + preview.pbData->Width() <= preview.pbBase->Width());
    // The longest caption there can be and its page box are not cut off.
    State().TotalPages = State().CurrentPage = 32766;
    UpdatePageLabel(State().CurrentPage);
    preview.txtPage->setText("32766");
    EXPECT_TRUE(preview.lbPageNo->sizeHint().width() <= preview.lbPageNo->width() &&
                preview.lbPageNo->geometry().right() <= preview.txtPage->x() &&
                preview.txtPage->fontMetrics().horizontalAdvance("32766") + 8 <= preview.txtPage->width());
    // The first size takes in the whole band wherever the screen is that wide.
    EXPECT_TRUE(preview.width() >= std::min(screen.width(), preview.txtPage->geometry().right()) &&
                messages.empty());
}

TEST_F(PreviewWindowTest, ZoomKeepsThePartInViewAndThumbnailsComposeOnlyThePagesShown) {
    GridOfPages(200);
    PreviewWindow& preview = OpenPreview();
    preview.SetZoom(1);
    preview.VS->setValue(preview.VS->maximum() / 2);
    preview.HS->setValue(preview.HS->maximum() / 3);
    const auto pagePointAtCentre = [&] {
        const float border = (preview.pbData->Width() - preview.pbData->ScaleWidth()) / 2;
        return (QPointF(preview.pbBase->Width(), preview.pbBase->Height()) / 2 -
                QPointF(preview.pbData->Left(), preview.pbData->Top()) - QPointF(border, border)) /
               preview.ZoomFactor();
    };
    const QPointF before = pagePointAtCentre();
    for (float zoom : {2.0f, 4.0f, 0.75f}) {
        preview.SetZoom(zoom);
        const QPointF after = pagePointAtCentre();
        // A pixel of rounding; a page narrower than the viewport is centred instead.
        EXPECT_TRUE(!preview.HS->isEnabled() || std::abs(after.x() - before.x()) < 20 / zoom) << zoom;
        EXPECT_NEAR(after.y(), before.y(), 20 / zoom) << zoom;
    }

    ThumbnailPanel& panel = *preview.lstThumbnails;
    SettleThumbnails(panel);
    EXPECT_EQ(panel.ComposedPages(), 0); // hidden: nothing composed
    const QPointF inView = pagePointAtCentre();
    Click(preview.cmdThumbnails);
    SettleThumbnails(panel);
    EXPECT_LT(QLineF(pagePointAtCentre(), inView).length(), 30); // the page stays put beside the panel
    const int shown = panel.viewport()->height() / (panel.PageRect(2).top() - panel.PageRect(1).top()) + 2;
    EXPECT_TRUE(panel.ComposedPages() > 0 && panel.ComposedPages() <= shown) << panel.ComposedPages();
    EXPECT_TRUE(panel.PictureOf(1).devicePixelRatio() == preview.devicePixelRatioF() &&
                panel.PictureOf(100).isNull());
    panel.verticalScrollBar()->setValue(panel.verticalScrollBar()->maximum());
    SettleThumbnails(panel);
    const int pages = State().TotalPages;
    EXPECT_TRUE(panel.ComposedPages() <= 2 * shown && !panel.PictureOf(pages).isNull());
    QTest::mouseClick(panel.viewport(), Qt::LeftButton, {}, panel.PageRect(pages - 1).center());
    EXPECT_EQ(Caption(), QStringLiteral("Page %1 of %2").arg(pages - 1).arg(pages));
    EXPECT_GE(preview.pbBase->x(), panel.width()); // the viewport moved over for the panel
    // A thumbnail is that page: its number and its first row.
    const auto page7 = Flatten(*PageComposer().Compose(7));
    EXPECT_TRUE(page7.FindText(QStringLiteral("Page 7 of %1").arg(pages)) &&
                page7.FindText(Row1Cell(State().PageBlocks[7].StartRow)));
    Click(preview.cmdThumbnails);
    EXPECT_EQ(preview.pbBase->x(), 0);
    EXPECT_TRUE(messages.empty());
}

// The preview window as a user meets it, on the offscreen platform: real buttons clicked,
// real keys pressed, the modal dialogs it opens answered the way a user would.
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "dialogs/PageSelectionDialog.h"
#include "dialogs/PageSettingsDialog.h"
#include "platform/GridControl.h"
#include "platform/PictureBox.h"
#include "platform/PrintDialogModule.h"
#include "platform/RepaintLock.h"
#include "preview/PreviewWindow.h"
#include "support/EngineFixture.h"
#include "support/ModalWindows.h"
#include "support/PictureOps.h"

#include <QApplication>
#include <QTest>

using namespace telmo;
using namespace telmo::test;

namespace {

using Op = RecordingPrinter::Op;
using OpKind = RecordingPrinter::OpKind;

class PreviewWindowTest : public EngineTest {
protected:
    void TearDown() override {
        SetPrintDialogRunner(nullptr);
        EngineTest::TearDown();
    }

    // A source grid of three columns whose body rows of 970 twips paginate to `pages` pages
    // on the recorder's Letter page (twelve body rows a page).
    std::shared_ptr<GridControl> GridOfPages(int pages) {
        return MakeSourceGrid(1 + 12 * (pages - 1) + 5, 3, 1000, 970);
    }

    // Loads the preview window for the source grid and shows it, as ShowPreview does, but
    // without its modal loop so that the test can go on.
    PreviewWindow& OpenPreview() {
        PreviewWindow& preview = State().frmPreview.Get();
        preview.show();
        QApplication::processEvents();
        return preview;
    }

    std::vector<bool> MoveButtons() const {
        std::vector<bool> enabled;
        for (QPushButton* button : State().frmPreview.IfLoaded()->cmdMove)
            enabled.push_back(button->isEnabled());
        return enabled;
    }

    QString Caption() const { return State().frmPreview.IfLoaded()->lbPageNo->text(); }

    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    bool PreviewClosed() {
        QApplication::processEvents();
        return !State().frmPreview.IsLoaded();
    }

    // The texts of the printed pages, page by page, with the body pictures opened up.
    std::vector<QStringList> PrintedPages() {
        std::vector<QStringList> pages;
        for (const Op& op : Recorder().Ops()) {
            if (op.kind == OpKind::NewPage || op.kind == OpKind::EndDoc)
                continue;
            if (static_cast<size_t>(op.page) > pages.size())
                pages.resize(static_cast<size_t>(op.page));
            QStringList& page = pages[static_cast<size_t>(op.page) - 1];
            if (op.kind == OpKind::Text)
                page << op.text;
            if (op.kind == OpKind::Picture && op.picture)
                for (const PlacedText& text : Flatten(*op.picture).texts)
                    page << text.text;
        }
        return pages;
    }

    size_t Count(OpKind kind) { return Recorder().OpsOf(kind).size(); }
};

const std::vector<bool> kAllOff{false, false, false, false};
const std::vector<bool> kAtFirst{false, false, true, true};
const std::vector<bool> kInside{true, true, true, true};
const std::vector<bool> kAtLast{true, true, false, false};

} // namespace

TEST_F(PreviewWindowTest, TwoAndThreePageNavigationFollowsTheButtonTable) {
    GridOfPages(2);
    PreviewWindow& two = OpenPreview();
    ASSERT_EQ(State().TotalPages, 2);
    EXPECT_EQ(MoveButtons(), kAtFirst);
    Click(two.cmdMove[2]);
    EXPECT_EQ(State().CurrentPage, 2);
    EXPECT_EQ(Caption(), "Page 2 of 2");
    EXPECT_EQ(MoveButtons(), kAtLast);
    Click(two.cmdMove[1]);
    EXPECT_EQ(State().CurrentPage, 1);
    EXPECT_EQ(MoveButtons(), kAtFirst);
    // A disabled button cannot be clicked: the page stays.
    Click(two.cmdMove[1]);
    EXPECT_EQ(State().CurrentPage, 1);
    UnloadAllForms();

    GridOfPages(3);
    PreviewWindow& three = OpenPreview();
    ASSERT_EQ(State().TotalPages, 3);
    Click(three.cmdMove[2]);
    EXPECT_EQ(MoveButtons(), kInside);
    Click(three.cmdMove[2]);
    EXPECT_EQ(Caption(), "Page 3 of 3");
    EXPECT_EQ(MoveButtons(), kAtLast);
    Click(three.cmdMove[1]);
    EXPECT_EQ(State().CurrentPage, 2);
    EXPECT_EQ(MoveButtons(), kInside);
    Click(three.cmdMove[0]);
    EXPECT_EQ(Caption(), "Page 1 of 3");
    EXPECT_EQ(MoveButtons(), kAtFirst);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(RepaintLock::Holder(), nullptr);
}

TEST_F(PreviewWindowTest, LastAndFirstComposeThatPageAndItsCaption) {
    GridOfPages(7);
    PreviewWindow& preview = OpenPreview();
    ASSERT_EQ(State().TotalPages, 7);
    Click(preview.cmdMove[2]);
    Click(preview.cmdMove[2]);
    EXPECT_EQ(Caption(), "Page 3 of 7");
    Click(preview.cmdMove[3]);
    EXPECT_EQ(Caption(), "Page 7 of 7");
    EXPECT_EQ(MoveButtons(), kAtLast);
    // The page composed is the last block: its first body row and its page number.
    const PageBlock& last = State().PageBlocks[7];
    const PlacedOps page = Flatten(*preview.pbTempData->Picture());
    EXPECT_NE(page.FindText(QStringLiteral("Page 7 of 7")), nullptr);
    EXPECT_NE(page.FindText(QStringLiteral("r%1c1").arg(last.StartRow)), nullptr);
    EXPECT_EQ(page.FindText(QStringLiteral("r%1c1").arg(last.StartRow - 1)), nullptr);
    Click(preview.cmdMove[0]);
    EXPECT_NE(Flatten(*preview.pbTempData->Picture()).FindText(QStringLiteral("r1c1")), nullptr);
    EXPECT_EQ(MoveButtons(), kAtFirst);
}

TEST_F(PreviewWindowTest, AOnePageReportHasNoNavigationAndPrintsStraightAway) {
    MakeSourceGrid(5, 3);
    PreviewWindow& preview = OpenPreview();
    EXPECT_EQ(State().PaginationMode, kOnePage);
    EXPECT_EQ(MoveButtons(), kAllOff);
    EXPECT_EQ(Caption(), "Page 1 of 1");
    Recorder().ClearOps();
    Click(preview.cmdOperations[0]);
    EXPECT_FALSE(State().frmPageSelection.IsLoaded());
    const auto pictures = Recorder().OpsOf(OpKind::Picture);
    ASSERT_EQ(pictures.size(), 1u);
    // Three columns of 1000 centred on 11520, 1500 below the top.
    EXPECT_EQ(pictures[0].dest.topLeft(), QPointF((11520 - 3000) / 2, 1500));
    ASSERT_FALSE(Recorder().Ops().empty());
    EXPECT_EQ(Recorder().Ops().back().kind, OpKind::EndDoc);
    EXPECT_EQ(Count(OpKind::NewPage), 0u);
    const auto pages = PrintedPages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].contains("Page 1 of 1"));
    EXPECT_TRUE(pages[0].contains("r4c2"));
    EXPECT_FALSE(PreviewClosed());
}

TEST_F(PreviewWindowTest, ASinglePageOfAMultiPageModeAsksForPage2AndCloses) {
    struct Shape {
        PaginationModes mode;
        int rows, cols, colWidth;
    };
    // Mode 1: the last row joins its band though it overflows; modes 3 and 4: one column
    // band wider than the page.
    for (const Shape shape : {Shape{kRowsSplit, 3, 2, 1000}, Shape{kColumnsSplit, 3, 2, 11000},
                              Shape{kRowsAndColumnsSplit, 3, 2, 11000}}) {
        SCOPED_TRACE(shape.mode);
        auto grid = MakeSourceGrid(shape.rows, shape.cols, shape.colWidth, 300);
        if (shape.mode != kColumnsSplit)
            grid->SetRowHeight(2, 12000);
        PreviewWindow& preview = OpenPreview();
        ASSERT_EQ(State().PaginationMode, shape.mode);
        ASSERT_EQ(State().TotalPages, 1);
        EXPECT_EQ(MoveButtons(), kAtFirst);
        Click(preview.cmdMove[2]);
        EXPECT_TRUE(PreviewClosed());
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(messages[0].text.contains("Subscript out of range")) << messages[0].text.toStdString();
        EXPECT_TRUE(
            LogText().contains("PrinterComponent.9003.cmdButtonMoveControl\t9\tSubscript out of range"))
            << LogText().toStdString();
        EXPECT_EQ(RepaintLock::Holder(), nullptr);
        messages.clear();
        UnloadAllForms();
    }
}

TEST_F(PreviewWindowTest, EscClosesTheWindowFromAnyControl) {
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
    EXPECT_TRUE(messages.empty());
}

TEST_F(PreviewWindowTest, ShowPreviewReturnsWhenEscIsPressedInItsModalLoop) {
    GridOfPages(2);
    IPrinter printer;
    bool pressed = false;
    WhenModalOpens([&](QWidget* modal) {
        auto* preview = qobject_cast<PreviewWindow*>(modal);
        ASSERT_NE(preview, nullptr);
        QTest::keyClick(preview->cmdMove[2], Qt::Key_Escape);
        pressed = true;
    });
    printer.ShowPreview();
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(PreviewClosed());
}

TEST_F(PreviewWindowTest, ZoomAlternatesTheViewAndItsCaption) {
    GridOfPages(2);
    PreviewWindow& preview = OpenPreview();
    ASSERT_TRUE(preview.FitToWindow);
    EXPECT_EQ(preview.cmdOperations[2]->text(), "&Zoom In");
    const float fitWidth = preview.pbData->Width();
    Click(preview.cmdOperations[2]);
    EXPECT_FALSE(preview.FitToWindow);
    EXPECT_EQ(preview.cmdOperations[2]->text(), "&Zoom Out");
    EXPECT_EQ(preview.pbData->Width(), 12240);
    EXPECT_GT(preview.pbData->Width(), fitWidth);
    Click(preview.cmdOperations[2]);
    EXPECT_TRUE(preview.FitToWindow);
    EXPECT_EQ(preview.cmdOperations[2]->text(), "&Zoom In");
    EXPECT_EQ(preview.pbData->Width(), fitWidth);
}

TEST_F(PreviewWindowTest, ScrollBarsMoveTheFullSizePage) {
    GridOfPages(2);
    PreviewWindow& preview = OpenPreview();
    Click(preview.cmdOperations[2]);
    ASSERT_TRUE(preview.HS->isEnabled());
    ASSERT_TRUE(preview.VS->isEnabled());
    preview.HS->setValue(std::min(500, preview.HS->maximum()));
    EXPECT_EQ(preview.pbData->Left(), 60 - preview.HS->value());
    preview.VS->setValue(std::min(500, preview.VS->maximum()));
    EXPECT_EQ(preview.pbData->Top(), 60 - preview.VS->value());
    preview.VS->setValue(0);
    EXPECT_EQ(preview.pbData->Top(), 60);
}

TEST_F(PreviewWindowTest, TheFitViewMatchesTheWorkedExample) {
    // A printable area of 11000 x 15000 in a viewport of 11000 x 7000: 45 per cent fits.
    UsePrinter(11000, 15000, 11500, 15500);
    MakeSourceGrid(5, 3);
    PreviewWindow& preview = OpenPreview();
    // The viewport's border takes 15 twips a side: an inner size of 11000 x 7000.
    preview.pbBase->Move(0, 425, 11030, 7030);
    ASSERT_EQ(preview.pbBase->ScaleWidth(), 11000);
    preview.SetWindowForZoomIn();
    EXPECT_EQ(preview.pbData->Width(), 4950);
    EXPECT_EQ(preview.pbData->Height(), 6750);
    EXPECT_EQ(preview.pbData->Left(), 2995);
    EXPECT_EQ(preview.pbData->Top(), 95);
    EXPECT_FALSE(preview.HS->isEnabled());
}

TEST_F(PreviewWindowTest, TheFullSizeViewMatchesTheWorkedExamples) {
    MakeSourceGrid(5, 3);
    PreviewWindow& preview = OpenPreview();
    // pbData is the paper (12240) inside a 15-twip border on each side: 12210 inside.
    preview.pbBase->Move(0, 425, 11030, 7030);
    preview.SetWindowForZoomOut();
    ASSERT_EQ(preview.pbData->ScaleWidth(), 12210);
    EXPECT_TRUE(preview.HS->isEnabled());
    EXPECT_EQ(preview.HS->maximum(), 1390);
    EXPECT_EQ(preview.HS->pageStep(), 56);
    EXPECT_EQ(preview.HS->singleStep(), 10);
    preview.pbBase->Move(0, 425, 14030, 7030);
    preview.SetWindowForZoomOut();
    EXPECT_FALSE(preview.HS->isEnabled());
    EXPECT_EQ(preview.pbData->Left(), (14000 - 11520 - 180) / 2);
    // Exactly the page width plus 180 does not count as fitting.
    preview.pbBase->Move(0, 425, 11520 + 180 + 30, 7030);
    preview.SetWindowForZoomOut();
    EXPECT_TRUE(preview.HS->isEnabled());
}

TEST_F(PreviewWindowTest, OptionOkShowsPage1FittedWithTheNewCorner) {
    GridOfPages(3);
    PreviewWindow& preview = OpenPreview();
    Click(preview.cmdMove[2]);
    Click(preview.cmdOperations[2]);
    ASSERT_FALSE(preview.FitToWindow);
    WhenModalOpens([](QWidget* modal) {
        auto* dialog = qobject_cast<PageSettingsDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->cbPageAlign->setCurrentIndex(dialog->cbPageAlign->findText("Top Left"));
        QTest::mouseClick(dialog->cmdOption[0], Qt::LeftButton);
    });
    Click(preview.cmdOperations[3]);
    EXPECT_EQ(State().PageNoPosition, "Top Left");
    EXPECT_EQ(State().CurrentPage, 1);
    EXPECT_EQ(Caption(), "Page 1 of 3");
    EXPECT_TRUE(preview.FitToWindow);
    EXPECT_EQ(preview.cmdOperations[2]->text(), "&Zoom In");
    const PlacedText* number = Flatten(*preview.pbTempData->Picture()).FindText("Page 1 of 3");
    ASSERT_NE(number, nullptr);
    EXPECT_LT(number->at.y(), 1500);
    EXPECT_FALSE(State().RefreshPending);
}

TEST_F(PreviewWindowTest, OptionCancelOrEscLeavesPageAndView) {
    GridOfPages(3);
    PreviewWindow& preview = OpenPreview();
    Click(preview.cmdMove[2]);
    Click(preview.cmdOperations[2]);
    const QString before = State().PageNoPosition;
    for (bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Esc" : "Cancel");
        WhenModalOpens([escape](QWidget* modal) {
            auto* dialog = qobject_cast<PageSettingsDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->cbPageAlign->setCurrentIndex(dialog->cbPageAlign->findText("Top Left"));
            if (escape)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                QTest::mouseClick(dialog->cmdOption[1], Qt::LeftButton);
        });
        Click(preview.cmdOperations[3]);
        EXPECT_EQ(State().PageNoPosition, before);
        EXPECT_EQ(State().CurrentPage, 2);
        EXPECT_FALSE(preview.FitToWindow);
        EXPECT_FALSE(State().RefreshPending);
    }
    EXPECT_FALSE(PreviewClosed());
}

TEST_F(PreviewWindowTest, SetupCancelledStillLaysTheReportOutAgainInTheViewInForce) {
    GridOfPages(3);
    PreviewWindow& preview = OpenPreview();
    Click(preview.cmdMove[2]);
    Click(preview.cmdOperations[2]);
    QWidget* owner = nullptr;
    uint32_t flagsSeen = 0;
    SetPrintDialogRunner([&](QWidget* o, uint32_t flags, DeviceMode&) {
        owner = o;
        flagsSeen = flags;
        return false;
    });
    Click(preview.cmdOperations[1]);
    EXPECT_EQ(owner, &preview);
    EXPECT_EQ(flagsSeen, 64u);
    EXPECT_EQ(State().CurrentPage, 1);
    EXPECT_EQ(Caption(), "Page 1 of 3");
    EXPECT_EQ(MoveButtons(), kAtFirst);
    EXPECT_FALSE(preview.FitToWindow);
    EXPECT_EQ(preview.cmdOperations[2]->text(), "&Zoom Out");
    EXPECT_TRUE(State().RefreshPending);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(PreviewClosed());
}

TEST_F(PreviewWindowTest, PrintAsksWhichPagesAndPrintsThePageOnDisplay) {
    GridOfPages(3);
    PreviewWindow& preview = OpenPreview();
    Click(preview.cmdMove[2]);
    const PageBlock second = State().PageBlocks[2];
    auto answer = [](int choice) {
        WhenModalOpens([choice](QWidget* modal) {
            auto* dialog = qobject_cast<PageSelectionDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            if (choice == 0) {
                QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
                return;
            }
            (choice == 1 ? dialog->opPageSelection1 : dialog->opPageSelection2)->setChecked(true);
            QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
        });
    };

    Recorder().ClearOps();
    answer(0);
    Click(preview.cmdOperations[0]);
    EXPECT_TRUE(Recorder().Ops().empty());

    answer(2);
    Click(preview.cmdOperations[0]);
    auto pages = PrintedPages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].contains("Page 2 of 3"));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("r%1c1").arg(second.StartRow)));
    EXPECT_EQ(Count(OpKind::EndDoc), 1u);

    Recorder().ClearOps();
    answer(1);
    Click(preview.cmdOperations[0]);
    pages = PrintedPages();
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_TRUE(pages[2].contains("Page 3 of 3"));
    EXPECT_EQ(Count(OpKind::NewPage), 3u);
    EXPECT_EQ(Count(OpKind::EndDoc), 1u);

    // After all pages, the current page is still page 2 with its own body.
    Recorder().ClearOps();
    answer(2);
    Click(preview.cmdOperations[0]);
    pages = PrintedPages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].contains("Page 2 of 3"));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("r%1c1").arg(second.StartRow)));
    EXPECT_FALSE(pages[0].contains(QStringLiteral("r%1c1").arg(State().PageBlocks[3].StartRow)));
    EXPECT_EQ(State().CurrentPage, 2);
    EXPECT_TRUE(messages.empty());
}

TEST_F(PreviewWindowTest, APrintThatFailsIsReportedEndsItsDocumentAndClosesTheWindow) {
    MakeSourceGrid(5, 3);
    PreviewWindow& preview = OpenPreview();
    Recorder().ClearOps();
    Recorder().FailOn(OpKind::Picture, 1);
    Click(preview.cmdOperations[0]);
    EXPECT_TRUE(PreviewClosed());
    EXPECT_TRUE(LogText().contains("PrinterComponent.9003.PrintData\t482\tPrinter error"))
        << LogText().toStdString();
    ASSERT_FALSE(Recorder().Ops().empty());
    EXPECT_EQ(Recorder().Ops().back().kind, OpKind::EndDoc);
    EXPECT_FALSE(Recorder().InDocument());
}

TEST_F(PreviewWindowTest, RightClickOpensThePopupWhoseItemsActLikeTheButtons) {
    MakeSourceGrid(5, 3);
    PreviewWindow& preview = OpenPreview();
    QTest::mouseClick(preview.pbData, Qt::LeftButton);
    QTest::mouseClick(preview.pbData, Qt::MiddleButton);
    EXPECT_FALSE(preview.PrintPopup->isVisible());
    QTest::mouseClick(preview.pbData, Qt::RightButton);
    EXPECT_TRUE(preview.PrintPopup->isVisible());
    preview.PrintPopup->hide();
    QTest::mouseClick(preview.pbBase, Qt::RightButton, {}, QPoint(2, 2));
    EXPECT_TRUE(preview.PrintPopup->isVisible());
    QStringList items;
    for (QAction* action : preview.PrintPopup->actions())
        items << action->text();
    EXPECT_EQ(items, (QStringList{"&Print", "&Setup", "Option", "&Close"}));
    preview.PrintPopup->hide();

    Recorder().ClearOps();
    preview.MenuPrint->trigger();
    EXPECT_EQ(Count(OpKind::EndDoc), 1u);
    preview.MenuClose->trigger();
    EXPECT_TRUE(PreviewClosed());
}

TEST_F(PreviewWindowTest, LoadSetsItsDefaultsAndActivationItsCaption) {
    MakeSourceGrid(5, 3);
    PreviewWindow& preview = OpenPreview();
    EXPECT_EQ(State().DataFontName, "Times New Roman");
    EXPECT_EQ(State().PageNoPosition, "Bottom Right");
    EXPECT_EQ(preview.windowTitle(), "Print Preview  [ Recorder ]");
    EXPECT_EQ(preview.pbTempData->Width(), 12240);
    EXPECT_EQ(preview.pbTempData->Height(), 15840);
    // The design client area at 15 twips a pixel.
    EXPECT_EQ(preview.size(), QSize(11490 / 15, 8160 / 15));
    EXPECT_TRUE(preview.FitToWindow);
    EXPECT_EQ(RepaintLock::Holder(), nullptr);
}

TEST_F(PreviewWindowTest, ATinyWindowGivesTheViewportNoNegativeSize) {
    GridOfPages(2);
    PreviewWindow& preview = OpenPreview();
    preview.setMinimumSize(0, 0);
    for (QSize size : {QSize(40, 20), QSize(1, 1), QSize(300, 40)}) {
        preview.resize(size);
        QApplication::processEvents();
        EXPECT_GE(preview.pbBase->Width(), 0);
        EXPECT_GE(preview.pbBase->Height(), 0);
        EXPECT_GE(preview.HS->width(), 0);
    }
    // Enlarged again, the fit view fills the larger viewport.
    preview.resize(1200, 900);
    QApplication::processEvents();
    EXPECT_GT(preview.pbData->Height(), 8160 - 425 - 255 - 200);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(PreviewClosed());
}

TEST(RepaintLockTest, OneWidgetAtATimeUntilReleased) {
    QWidget first, second;
    QWidget child(&first);
    ASSERT_TRUE(RepaintLock::LockWindowUpdate(&first));
    EXPECT_FALSE(first.updatesEnabled());
    EXPECT_FALSE(child.updatesEnabled());
    EXPECT_FALSE(RepaintLock::LockWindowUpdate(&second));
    EXPECT_TRUE(second.updatesEnabled());
    EXPECT_EQ(RepaintLock::Holder(), &first);
    {
        // A scope that could not take the lock must not release the one held.
        ScopedRepaintLock inner(&second);
    }
    EXPECT_EQ(RepaintLock::Holder(), &first);
    RepaintLock::LockWindowUpdate(nullptr);
    EXPECT_TRUE(first.updatesEnabled());
    EXPECT_TRUE(child.updatesEnabled());
    try {
        ScopedRepaintLock lock(&second);
        throw std::runtime_error("fails while locked");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(RepaintLock::Holder(), nullptr);
    EXPECT_TRUE(second.updatesEnabled());
}

#pragma once

#include "platform/grid/GridControl.h"
#include "platform/ui/Form.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <array>

namespace telmo {

class DrawingSurface;
class PictureBox;

// The print preview window: a band of buttons over a scrolling viewport that shows the
// current page, reduced to fit the viewport or at full size. The page is composed on hidden
// full-size surfaces and handed to the visible one as a finished picture.
class PreviewWindow : public Form {
    Q_OBJECT
public:
    PreviewWindow();
    ~PreviewWindow() override;

    void Form_Load() override;

    // Composes the page of this block: grid image, page number and title block.
    void CopyMorePagesA(float& sSCol, float& sECol, float& sSRow, float& sERow);
    // An empty page: the layout has no page to show.
    void ShowNoPage();
    // The title block on any drawing surface.
    void DisplayHeader(DrawingSurface& pbData);
    void DisplayPageNoForPreview();
    // The fit-to-window and the full-size layouts of the page in the viewport.
    void SetWindowForZoomIn();
    void SetWindowForZoomOut();
    // Switches to the other view and shows the composed page in it.
    void ToggleZoom();

    void Form_Activate();
    void Form_Resize();
    void pbBase_Resize();

    // Navigation: 0 first, 1 previous, 2 next, 3 last page.
    void cmdMove_Click(int16_t Index);
    // The full-size page follows the scroll bars.
    void HS_Change();
    void VS_Change();
    // A right click on the viewport or the page opens the popup menu.
    void pbBase_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
    void pbData_MouseDown(int16_t Button, int16_t Shift, float X, float Y);

    // Commands: 0 print, 1 printer setup, 2 zoom, 3 page number options, 4 close.
    void CmdOperations_Click(int16_t Index);
    void MenuPrint_Click();
    void MenuSetup_Click();
    void MenuOption_Click();
    void MenuClose_Click();

    // Controls.
    std::array<QPushButton*, 5> cmdOperations{};
    std::array<QPushButton*, 4> cmdMove{};
    QLabel* lbPageNo;
    PictureBox* pbBase;
    QScrollBar* VS;
    QScrollBar* HS;
    PictureBox* pbData;
    PictureBox* pbTempData;
    PictureBox* pbTemp;
    GridControl GData;
    QMenu* PrintPopup;
    QAction* MenuPrint;
    QAction* MenuSetup;
    QAction* MenuOption;
    QAction* MenuClose;

    bool FitToWindow = false;

    // The design client area in twips.
    static constexpr float kDesignWidth = 11490;
    static constexpr float kDesignHeight = 8160;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Form_KeyDown(int keyCode);
    void cmdButtonMoveControl(int16_t& Index);
    void SetMoveButtons(bool firstAndPrevious, bool nextAndLast);
    void PrintData();
    // The page on display as a print document of one page.
    void PrintCurrentPage();
    void ShowPrintSetup();
    void ShowPageSettings();
    void ClosePreview();
    // The body picture of a page block, left in pbTemp (GData holds its grid).
    void ComposeBody(float& sSCol, float& sECol, float& sSRow, float& sERow);
    // The window's own pointer: the hourglass, or back to the default.
    void SetWaitPointer(bool wait);
    // The report laid out again from the grid, page 1 shown in the fit view.
    void RelayOutFromPage1();
    // "Print Preview  [ printer ]": the printer the next print goes to.
    void ShowPrinterInCaption();
    QSize lastViewportSize_;
};

} // namespace telmo

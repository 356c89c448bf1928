#pragma once

#include "platform/grid/GridControl.h"
#include "platform/ui/Form.h"

#include <QAction>
#include <QComboBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <array>
#include <vector>

namespace telmo {

class DrawingSurface;
class PictureBox;
class ThumbnailPanel;

// The print preview window: a band of buttons over a scrolling viewport that shows the
// current page, reduced to fit the viewport, fitted to its width, or at a zoom from 25 to 400
// per cent (100: full size). The page is composed on hidden full-size surfaces and handed to
// the visible one as a finished picture. Keys, the mouse wheel, a page number box and a
// column of page thumbnails move through the report as the buttons do.
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
    // The fit-to-window layout of the page in the viewport, and the layout at the zoom in
    // force (full size unless a zoom step or fit width was chosen).
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

    // Shows page n (1 to TotalPages) as the navigation buttons show theirs; other numbers
    // change nothing.
    void GoToPage(int page);
    // Zoom steps, the page fitted to the viewport or to its width, and a zoom of its own
    // (clamped to the steps' range). The part of the page at the viewport's centre stays there.
    void ZoomIn();
    void ZoomOut();
    void FitPage();
    void FitWidth();
    void SetZoom(float zoom);
    // The scale of the page on the screen: 1 at full size, below 1 when fitted to a small viewport.
    float ZoomFactor() const;
    bool IsFitWidth() const { return !FitToWindow && fitWidth_; }
    void ShowThumbnails(bool show);
    static constexpr std::array<int, 9> kZoomSteps{25, 50, 75, 100, 125, 150, 200, 300, 400};

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
    // The thumbnails switch, the zoom box, the page number box and the thumbnails themselves.
    QPushButton* cmdThumbnails;
    QComboBox* cbZoom;
    QLineEdit* txtPage;
    ThumbnailPanel* lstThumbnails;

    bool FitToWindow = false;

    // The design client area in twips.
    static constexpr float kDesignWidth = 11490;
    static constexpr float kDesignHeight = 8160;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_KeyDown(int keyCode);
    // The keys of the page view; each runs what its button does, and nothing while that
    // button is disabled.
    void AddKeys();
    void MoveIfEnabled(int16_t Index);
    // The wheel over the page: scrolls it, turns the page at the top or bottom edge and in the
    // fitted view, and zooms with Ctrl held.
    void pbBase_MouseWheel(QWheelEvent* event, QWidget* over);
    // Moves a scroll bar by screen twips, in its own units (page twips).
    void ScrollByScreenTwips(QScrollBar* bar, float twips);
    // Decides every control's state from the job state and the view: the page box, the zoom
    // box, the zoom keys, the thumbnails. Called after every change of page, layout or view.
    void ShowControlStates();
    // The page at zoom_ in pbData (the full-size picture itself at 1).
    void ShowZoomedPage();
    // The fitted page painted again into pbData as the zoom button paints it.
    void RepaintFitPage();
    // A zoom of the non-fitted views, keeping the page point under anchor (pbBase twips) there.
    void ZoomAround(float zoom, bool fitWidth, QPointF anchor);
    QPointF PagePointAt(QPointF anchor) const;
    QPointF ViewportCentre() const;
    float FitWidthZoom() const;
    void ApplyZoomText(const QString& text);
    void PlaceBandControls();
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
    // The scale of the non-fitted views: 1 is the full-size view.
    float zoom_ = 1.0f;
    bool fitWidth_ = false;
    // Where the fitted page was last painted in pbData.
    QRectF fitPageRect_;
    // Wheel turns not yet used, in eighths of a degree (a notch is 120).
    int wheelRest_ = 0;
    std::vector<QShortcut*> zoomInKeys_, zoomOutKeys_;
};

} // namespace telmo

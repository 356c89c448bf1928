#include "preview/PreviewWindow.h"

#include "component/JobState.h"
#include "component/ReportError.h"
#include "dialogs/PageSelectionDialog.h"
#include "dialogs/PageSettingsDialog.h"
#include "engine/GridSnapshot.h"
#include "engine/PageBody.h"
#include "engine/PageNumber.h"
#include "engine/PrintAllPages.h"
#include "engine/PrintDataSettings.h"
#include "engine/ReportDocument.h"
#include "engine/ReportHeader.h"
#include "engine/TitleLine.h"
#include "platform/Conversions.h"
#include "platform/RuntimeError.h"
#include "platform/Twips.h"
#include "platform/print/PrintDialogModule.h"
#include "platform/print/Printer.h"
#include "platform/ui/PictureBox.h"
#include "platform/ui/RepaintLock.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <cmath>

namespace telmo {
namespace {
// The hourglass for a scope, restored on every path out.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

PreviewWindow::PreviewWindow() {
    setWindowTitle(QStringLiteral("Print Preview"));
    setSizeGripEnabled(true);
    resize(TwipsToPixels(kDesignWidth), TwipsToPixels(kDesignHeight));

    const char* operationCaptions[] = {"&Print", "&Setup", "&Zoom In", "&Option", "&Close"};
    const float operationLefts[] = {570, 1650, 2750, 3860, 4960};
    for (int i = 0; i < 5; ++i) {
        cmdOperations[i] = new QPushButton(QString::fromLatin1(operationCaptions[i]), this);
        cmdOperations[i]->setObjectName(QStringLiteral("cmdOperations%1").arg(i));
        cmdOperations[i]->setAutoDefault(false);
        PlaceInTwips(*cmdOperations[i], operationLefts[i], 25, 1090, 325);
    }
    const char* moveCaptions[] = {"|<", "<<", ">>", ">|"};
    for (int i = 0; i < 4; ++i) {
        cmdMove[i] = new QPushButton(QString::fromLatin1(moveCaptions[i]), this);
        cmdMove[i]->setObjectName(QStringLiteral("cmdMove%1").arg(i));
        cmdMove[i]->setAutoDefault(false);
        PlaceInTwips(*cmdMove[i], 7350 + 495.0f * static_cast<float>(i), 50, 495, 325);
    }
    lbPageNo = new QLabel(QStringLiteral("Page 1 of 1"), this);
    lbPageNo->setObjectName(QStringLiteral("lbPageNo"));
    PlaceInTwips(*lbPageNo, 9720, 100, 1545, 195);

    pbBase = new PictureBox(this);
    pbBase->setObjectName(QStringLiteral("pbBase"));
    pbBase->SetBackColor(palette().color(QPalette::Dark));
    VS = new QScrollBar(Qt::Vertical, this);
    VS->setObjectName(QStringLiteral("VS"));
    HS = new QScrollBar(Qt::Horizontal, this);
    HS->setObjectName(QStringLiteral("HS"));
    PlaceInTwips(*VS, 0, 0, 255, 1000);
    PlaceInTwips(*HS, 0, 0, 1000, 255);

    pbData = new PictureBox(pbBase);
    pbData->setObjectName(QStringLiteral("pbData"));
    pbData->Move(2400, 1200, 4935, 2535);
    // The full-size page and the grid image are working surfaces, never shown; without a
    // border their scale areas are exactly the page and the image.
    pbTempData = new PictureBox(pbBase);
    pbTempData->setObjectName(QStringLiteral("pbTempData"));
    pbTempData->SetBorder(false);
    pbTempData->hide();
    pbTemp = new PictureBox(this);
    pbTemp->setObjectName(QStringLiteral("pbTemp"));
    pbTemp->SetBorder(false);
    pbTemp->SetAutoSize(true);
    pbTemp->Move(9240, 1320, 1575, 855);
    pbTemp->hide();

    PrintPopup = new QMenu(QStringLiteral("PrintPopMenu"), this);
    PrintPopup->setObjectName(QStringLiteral("PrintPopup"));
    MenuPrint = PrintPopup->addAction(QStringLiteral("&Print"));
    MenuSetup = PrintPopup->addAction(QStringLiteral("&Setup"));
    MenuOption = PrintPopup->addAction(QStringLiteral("Option"));
    MenuClose = PrintPopup->addAction(QStringLiteral("&Close"));

    for (int16_t i = 0; i < 5; ++i)
        connect(cmdOperations[i], &QPushButton::clicked, this, [this, i] { CmdOperations_Click(i); });
    for (int16_t i = 0; i < 4; ++i)
        connect(cmdMove[i], &QPushButton::clicked, this, [this, i] { cmdMove_Click(i); });
    connect(HS, &QScrollBar::valueChanged, this, [this] { HS_Change(); });
    connect(VS, &QScrollBar::valueChanged, this, [this] { VS_Change(); });
    connect(pbBase, &PictureBox::MouseDown, this, &PreviewWindow::pbBase_MouseDown);
    connect(pbData, &PictureBox::MouseDown, this, &PreviewWindow::pbData_MouseDown);
    connect(MenuPrint, &QAction::triggered, this, [this] { MenuPrint_Click(); });
    connect(MenuSetup, &QAction::triggered, this, [this] { MenuSetup_Click(); });
    connect(MenuOption, &QAction::triggered, this, [this] { MenuOption_Click(); });
    connect(MenuClose, &QAction::triggered, this, [this] { MenuClose_Click(); });

    // Esc closes the window whichever control has the focus.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] { Form_KeyDown(27); });
}

PreviewWindow::~PreviewWindow() {
    if (RepaintLock::Holder() == this || RepaintLock::Holder() == pbBase)
        RepaintLock::LockWindowUpdate(nullptr);
}

void PreviewWindow::Form_Load() {
    try {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            move(area.width() / 2 - width() / 2, area.height() / 2 - height() / 2);
        }
        RepaintLock::LockWindowUpdate(this);
        lbPageNo->setAutoFillBackground(true);
        lbPageNo->setBackgroundRole(QPalette::Window);
        JobState& s = State();
        Printer& printer = Printers::Current();
        s.DataFontName = QStringLiteral("Times New Roman");
        printer.SetFontName(s.DataFontName);
        // The first page number composed is drawn in the body font, as on paper.
        pbTempData->SetFontName(s.DataFontName);
        s.PageNoPosition = QStringLiteral("Bottom Right");
        FitToWindow = true;
        pbTempData->Move(pbBase->ScaleLeft(), pbBase->ScaleTop(), static_cast<float>(ToLong(printer.Width())),
                         static_cast<float>(ToLong(printer.Height())));
        Form_Resize();
        RepaintLock::LockWindowUpdate(nullptr);
        RepaintLock::LockWindowUpdate(pbBase);
        s.RefreshPending = false;
        RelayOutFromPage1();
        RepaintLock::LockWindowUpdate(nullptr);
    } catch (...) {
        RepaintLock::LockWindowUpdate(nullptr);
        ReportCurrentException(module::kPreview, ".Load");
        Unload();
    }
}

void PreviewWindow::RelayOutFromPage1() {
    QPointer<PreviewWindow> self(this);
    CalculagePrintDataSettings();
    // An error handler may have unloaded the window meanwhile; then nothing more is drawn.
    if (!self || IsUnloaded())
        return;
    FitToWindow = false;
    ToggleZoom();
}

void PreviewWindow::showEvent(QShowEvent* event) {
    Form::showEvent(event);
    Form_Activate();
}

void PreviewWindow::Form_Activate() {
    try {
        RepaintLock::LockWindowUpdate(pbBase);
        JobState& s = State();
        ShowPrinterInCaption();
        if (s.RefreshPending) {
            s.RefreshPending = false;
            RelayOutFromPage1();
        }
        RepaintLock::LockWindowUpdate(nullptr);
    } catch (...) {
        RepaintLock::LockWindowUpdate(nullptr);
        ReportCurrentException(module::kPreview, ".Activate");
        Unload();
    }
}

void PreviewWindow::ShowPrinterInCaption() {
    setWindowTitle(QStringLiteral("Print Preview  [ ") + Printers::Current().DeviceName() +
                   QStringLiteral(" ]"));
}

void PreviewWindow::resizeEvent(QResizeEvent* event) {
    Form::resizeEvent(event);
    Form_Resize();
}

void PreviewWindow::Form_Resize() {
    const float top = 0, left = 0;
    const float width = ScaleWidth(), height = ScaleHeight();
    for (QPushButton* button : cmdOperations)
        MoveInTwips(*button, PixelsToTwips(button->x()), top + 25);
    for (QPushButton* button : cmdMove)
        MoveInTwips(*button, PixelsToTwips(button->x()), top + 50);
    MoveInTwips(*lbPageNo, PixelsToTwips(lbPageNo->x()), top + 100);
    const float vsWidth = PixelsToTwips(VS->width());
    const float hsHeight = PixelsToTwips(HS->height());
    // In a window too small for the band and the scroll bars the viewport shrinks to nothing.
    const float baseTop = top + 425;
    const float baseWidth = std::max(0.0f, width - vsWidth);
    const float baseHeight = std::max(0.0f, height - (hsHeight + baseTop));
    pbBase->Move(left, baseTop, baseWidth, baseHeight);
    PlaceInTwips(*VS, baseWidth, baseTop, vsWidth, baseHeight);
    PlaceInTwips(*HS, 0, top + 425 + baseHeight, baseWidth, hsHeight);
    if (pbBase->size() != lastViewportSize_) {
        lastViewportSize_ = pbBase->size();
        pbBase_Resize();
    }
}

void PreviewWindow::pbBase_Resize() {
    if (!FitToWindow)
        return;
    ScopedRepaintLock lock(pbBase);
    SetWindowForZoomIn();
}

void PreviewWindow::Form_KeyDown(int keyCode) {
    if (keyCode == 27)
        Unload();
}

void PreviewWindow::ToggleZoom() {
    ScopedRepaintLock lock(pbBase);
    WaitCursor hourglass;
    pbData->SetPicture(nullptr);
    if (FitToWindow) {
        FitToWindow = false;
        cmdOperations[2]->setText(QStringLiteral("&Zoom Out"));
        SetWindowForZoomOut();
        pbData->SetPicture(pbTempData->Picture());
    } else {
        FitToWindow = true;
        cmdOperations[2]->setText(QStringLiteral("&Zoom In"));
        SetWindowForZoomIn();
        pbData->PaintPicture(pbTempData->Picture(), 500, 100, pbData->ScaleWidth() - 1000,
                             pbData->ScaleHeight() - 200, 0, 0, pbTempData->Width(), pbTempData->Height());
    }
}

void PreviewWindow::SetWindowForZoomIn() {
    HS->setValue(HS->minimum());
    HS->setEnabled(false);
    VS->setValue(VS->minimum());
    VS->setEnabled(false);
    const Printer& printer = Printers::Current();
    const float pageWidth = printer.ScaleWidth(), pageHeight = printer.ScaleHeight();
    pbData->SetHeight(pageHeight);
    pbData->SetWidth(pageWidth);
    for (int16_t p = 100; p >= 1; --p) {
        const float h = pageHeight * static_cast<float>(p) / 100;
        const float w = pageWidth * static_cast<float>(p) / 100;
        if (pbBase->ScaleHeight() - 120 >= h && pbBase->ScaleWidth() - 120 >= w) {
            pbData->SetHeight(h);
            pbData->SetWidth(w);
            break;
        }
    }
    pbData->SetLeft((pbBase->ScaleWidth() - pbData->Width() - 60) / 2);
    pbData->SetTop((pbBase->ScaleHeight() - pbData->Height() - 60) / 2);
}

void PreviewWindow::SetWindowForZoomOut() {
    const Printer& printer = Printers::Current();
    pbData->SetLeft(pbBase->ScaleLeft() + 60);
    pbData->SetTop(pbBase->ScaleTop() + 60);
    pbData->SetWidth(static_cast<float>(ToLong(printer.Width())));
    pbData->SetHeight(static_cast<float>(ToLong(printer.Height())));
    if (pbBase->ScaleWidth() - 180 <= printer.ScaleWidth()) {
        HS->setEnabled(true);
        HS->setMinimum(0);
        HS->setMaximum(ToInteger(std::fabs(pbBase->ScaleWidth() - pbData->ScaleWidth() - 180)));
        HS->setSingleStep(10);
        HS->setPageStep(ToInteger(HS->maximum() / 25.0));
    } else {
        HS->setEnabled(false);
        pbData->SetLeft((pbBase->ScaleWidth() - printer.ScaleWidth() - 180) / 2);
    }
    if (pbBase->ScaleHeight() - 180 <= printer.ScaleHeight()) {
        VS->setEnabled(true);
        VS->setMinimum(0);
        VS->setMaximum(ToInteger(std::fabs(pbBase->ScaleHeight() - pbData->ScaleHeight() - 180)));
        VS->setSingleStep(10);
        VS->setPageStep(ToInteger(VS->maximum() / 25.0));
    } else {
        VS->setEnabled(false);
        pbData->SetTop((pbBase->ScaleHeight() - printer.ScaleHeight() - 180) / 2);
    }
}

void PreviewWindow::CopyMorePagesA(float& sSCol, float& sECol, float& sSRow, float& sERow) {
    QPointer<PreviewWindow> self(this);
    try {
        pbTempData->SetPicture(nullptr);
        pbData->SetPicture(nullptr);
        ComposeBody(sSCol, sECol, sSRow, sERow);
        if (!State().PageNoPosition.isEmpty()) {
            DisplayPageNoForPreview();
            if (!self || IsUnloaded())
                return;
        }
        DisplayHeader(*pbTempData);
        const Printer& printer = Printers::Current();
        const int32_t x = CentredLeft(printer.ScaleWidth(), pbTemp->ScaleWidth());
        pbTempData->PaintPicture(pbTemp->Picture(), static_cast<float>(x), 1500);
        pbTempData->SetPicture(pbTempData->Image());
        if (FitToWindow) {
            pbData->PaintPicture(pbTempData->Picture(), 500, 100, pbData->ScaleWidth() - 500,
                                 pbData->ScaleHeight() - 500, 0, 0, pbTempData->Width(),
                                 pbTempData->Height());
        } else {
            pbData->SetHeight(static_cast<float>(ToLong(printer.Height())));
            pbData->SetPicture(pbTempData->Picture());
        }
    } catch (...) {
        ReportCurrentException(module::kPreview, ".CopyMorePagesA");
        if (self)
            Unload();
    }
}

void PreviewWindow::ShowNoPage() {
    pbTempData->SetPicture(nullptr);
    pbData->SetPicture(nullptr);
}

void PreviewWindow::ComposeBody(float& sSCol, float& sECol, float& sSRow, float& sERow) {
    pbTemp->SetPicture(nullptr);
    CopyGrid(GData, sSCol, sECol, sSRow, sERow);
    pbTemp->SetAutoRedraw(true);
    pbTemp->SetPicture(GData.Picture());
    pbTemp->Box(0, 0, pbTemp->ScaleWidth(), pbTemp->ScaleHeight());
    pbTemp->SetPicture(pbTemp->Image());
}

void PreviewWindow::DisplayHeader(DrawingSurface& pbData) {
    try {
        const JobState& s = State();
        DrawingSurface& surface = pbData;
        PrintTitleBand(surface, s);
        // Title 4 is the preview's own, near the foot of the page.
        PrintTitleLine(surface, s.Title4Message, s.Title4FontName, s.Title4FontSize, s.Title4Alignment, 15000,
                       s.HeaderLeftMargin, s.HeaderRightMargin, &s.Title3Message);
        if (IsAutomationTrue(s.TitleSepratorFlag)) {
            MoveToSeparator(surface, s);
            // The preview's separator ends twice the left margin short of the right edge.
            surface.Line(surface.CurrentX(), surface.CurrentY(),
                         surface.ScaleWidth() - 2 * static_cast<float>(s.HeaderLeftMargin),
                         surface.CurrentY());
        }
    } catch (...) {
        ReportCurrentException(module::kPreview, ".DisplayHeader");
    }
}

void PreviewWindow::DisplayPageNoForPreview() {
    try {
        const QString& position = State().PageNoPosition;
        if (position.isEmpty())
            return;
        pbTempData->SetFontSize(8);
        pbTempData->SetFontBold(false);
        float x = 0, y = 0;
        if (PageNumberPosition(position, pbTempData->ScaleLeft(), pbTempData->ScaleTop(),
                               pbTempData->ScaleWidth(), pbTempData->ScaleHeight(), x, y)) {
            pbTempData->SetCurrentX(x);
            pbTempData->SetCurrentY(y);
        }
        pbTempData->Print(lbPageNo->text());
    } catch (...) {
        ReportCurrentException(module::kPreview, ".DisplayPageNoForPreview");
        Unload();
    }
}

void PreviewWindow::SetWaitPointer(bool wait) {
    if (wait)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void PreviewWindow::SetMoveButtons(bool firstAndPrevious, bool nextAndLast) {
    cmdMove[0]->setEnabled(firstAndPrevious);
    cmdMove[1]->setEnabled(firstAndPrevious);
    cmdMove[2]->setEnabled(nextAndLast);
    cmdMove[3]->setEnabled(nextAndLast);
}

void PreviewWindow::cmdMove_Click(int16_t Index) {
    QPointer<PreviewWindow> self(this);
    try {
        SetWaitPointer(true);
        RepaintLock::LockWindowUpdate(pbBase);
        if (Index == 0)
            SetMoveButtons(false, true);
        else if (Index == 3)
            SetMoveButtons(true, false);
        cmdButtonMoveControl(Index);
        RepaintLock::LockWindowUpdate(nullptr);
        // The window may have been unloaded by an error on the way; it stays hidden.
        if (self)
            SetWaitPointer(false);
    } catch (...) {
        RepaintLock::LockWindowUpdate(nullptr);
        ReportCurrentException(module::kPreview, ".cmdMove_Click");
        if (self) {
            SetWaitPointer(false);
            Unload();
        }
    }
}

void PreviewWindow::cmdButtonMoveControl(int16_t& Index) {
    QPointer<PreviewWindow> self(this);
    try {
        JobState& s = State();
        switch (Index) {
        case 0:
            s.CurrentPage = 1;
            break;
        case 1: {
            // The buttons follow the page being moved to.
            const int16_t previous = SubtractInteger(s.CurrentPage, 1);
            SetMoveButtons(previous > 1, true);
            s.CurrentPage = previous;
            break;
        }
        case 2: {
            const int16_t next = AddInteger(s.CurrentPage, 1);
            SetMoveButtons(true, next < s.TotalPages);
            s.CurrentPage = next;
            break;
        }
        case 3:
            s.CurrentPage = s.TotalPages;
            break;
        default:
            break;
        }
        UpdatePageLabel(s.CurrentPage);
        if (s.CurrentPage < 0 || static_cast<size_t>(s.CurrentPage) >= s.PageBlocks.size())
            throw RuntimeError(err::kSubscriptOutOfRange);
        PageBlock& block = s.PageBlocks[static_cast<size_t>(s.CurrentPage)];
        CopyMorePagesA(block.StartCol, block.EndCol, block.StartRow, block.EndRow);
    } catch (...) {
        ReportCurrentException(module::kPreview, ".cmdButtonMoveControl");
        if (self)
            Unload();
    }
}

void PreviewWindow::HS_Change() {
    pbData->SetLeft(static_cast<float>(SubtractInteger(60, ToInteger(HS->value()))));
}

void PreviewWindow::VS_Change() {
    pbData->SetTop(static_cast<float>(SubtractInteger(60, ToInteger(VS->value()))));
}

void PreviewWindow::pbBase_MouseDown(int16_t Button, int16_t, float, float) {
    if (Button == PictureBox::kRightButton)
        PrintPopup->popup(QCursor::pos());
}

void PreviewWindow::pbData_MouseDown(int16_t Button, int16_t Shift, float X, float Y) {
    pbBase_MouseDown(Button, Shift, X, Y);
}

void PreviewWindow::CmdOperations_Click(int16_t Index) {
    QPointer<PreviewWindow> self(this);
    try {
        switch (Index) {
        case 0:
            PrintData();
            break;
        case 1:
            ShowPrintSetup();
            break;
        case 2:
            ToggleZoom();
            break;
        case 3:
            ShowPageSettings();
            break;
        case 4:
            ClosePreview();
            break;
        default:
            break;
        }
    } catch (...) {
        ReportCurrentException(module::kPreview, ".CmdOperations_Click");
        if (self)
            Unload();
    }
}

void PreviewWindow::MenuPrint_Click() {
    PrintData();
}

void PreviewWindow::MenuSetup_Click() {
    ShowPrintSetup();
}

// The two menu items whose commands report nothing themselves are reported like their buttons.
void PreviewWindow::MenuOption_Click() {
    QPointer<PreviewWindow> self(this);
    try {
        ShowPageSettings();
    } catch (...) {
        ReportCurrentException(module::kPreview, ".MenuOption_Click");
        if (self)
            Unload();
    }
}

void PreviewWindow::MenuClose_Click() {
    QPointer<PreviewWindow> self(this);
    try {
        ClosePreview();
    } catch (...) {
        ReportCurrentException(module::kPreview, ".MenuClose_Click");
        if (self)
            Unload();
    }
}

void PreviewWindow::PrintData() {
    QPointer<PreviewWindow> self(this);
    try {
        JobState& s = State();
        if (s.TotalPages <= 1) {
            PrintCurrentPage();
            return;
        }
        SetWaitPointer(true);
        s.frmPageSelection.Get().ShowModal();
        if (!self)
            return;
        SetWaitPointer(false);
        // Closing the dialog makes this window the active one again.
        Form_Activate();
        if (!self || IsUnloaded())
            return;
        if (s.PageSelectionChoice == 2) {
            PrintCurrentPage();
        } else if (s.PageSelectionChoice == 1) {
            SetWaitPointer(true);
            Printers::Current().SetFontName(s.DataFontName);
            PrintAllPages(GData, *pbTemp);
            EndOpenReportDocument();
            if (self)
                SetWaitPointer(false);
        }
    } catch (...) {
        ReportCurrentException(module::kPreview, ".PrintData");
        EndOpenReportDocument();
        if (self) {
            SetWaitPointer(false);
            Unload();
        }
    }
}

void PreviewWindow::PrintCurrentPage() {
    SetWaitPointer(true);
    JobState& s = State();
    if (s.CurrentPage < 0 || static_cast<size_t>(s.CurrentPage) >= s.PageBlocks.size())
        throw RuntimeError(err::kSubscriptOutOfRange);
    // An all-pages print leaves the last page's body in pbTemp; the page on display is
    // composed again so that its own body goes under its own page number.
    PageBlock& block = s.PageBlocks[static_cast<size_t>(s.CurrentPage)];
    ComposeBody(block.StartCol, block.EndCol, block.StartRow, block.EndRow);
    Printer& printer = Printers::Current();
    printer.SetFontName(s.DataFontName);
    PrintPageNo(s.CurrentPage);
    PrintReportHeader();
    const int32_t x = CentredLeft(printer.ScaleWidth(), pbTemp->ScaleWidth());
    printer.PaintPicture(pbTemp->Picture(), static_cast<float>(x), 1500);
    EndReportDocument();
    SetWaitPointer(false);
}

void PreviewWindow::ShowPrintSetup() {
    QPointer<PreviewWindow> self(this);
    bool screenWait = false;
    try {
        JobState& s = State();
        s.RefreshPending = true;
        int16_t flags = kPrintSetupFlag;
        // Confirmed or cancelled, the report is laid out again for the printer now current.
        ShowPrinterDlg(this, flags);
        if (!self || IsUnloaded())
            return;
        // The next print goes to the printer now current: the caption says which at once.
        ShowPrinterInCaption();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        screenWait = true;
        const Printer& printer = Printers::Current();
        pbTempData->Move(pbBase->ScaleLeft(), pbBase->ScaleTop(), static_cast<float>(ToLong(printer.Width())),
                         static_cast<float>(ToLong(printer.Height())));
        CalculagePrintDataSettings();
        if (self && !IsUnloaded()) {
            // ToggleZoom inverts the view back: the view in force is rebuilt for the new page.
            FitToWindow = !FitToWindow;
            ToggleZoom();
        }
        screenWait = false;
        QApplication::restoreOverrideCursor();
    } catch (...) {
        if (screenWait)
            QApplication::restoreOverrideCursor();
        ReportCurrentException(module::kPreview, ".ShowPrintSetup");
        if (self)
            Unload();
    }
}

void PreviewWindow::ShowPageSettings() {
    QPointer<PreviewWindow> self(this);
    JobState& s = State();
    s.RefreshPending = true;
    SetWaitPointer(true);
    s.frmPageSettings.Get().ShowModal();
    if (!self || IsUnloaded())
        return;
    SetWaitPointer(false);
    // The dialog decided whether a refresh is pending; activation carries it out.
    Form_Activate();
}

void PreviewWindow::ClosePreview() {
    Unload();
}

} // namespace telmo

#include "preview/PreviewWindow.h"

#include "component/JobState.h"
#include "component/ReportError.h"
#include "dialogs/PageSelectionDialog.h"
#include "dialogs/PageSettingsDialog.h"
#include "engine/PageBody.h"
#include "engine/PageNumber.h"
#include "engine/PrintAllPages.h"
#include "engine/PrintDataSettings.h"
#include "engine/ReportDocument.h"
#include "engine/ReportHeader.h"
#include "platform/Conversions.h"
#include "platform/RuntimeError.h"
#include "platform/Twips.h"
#include "platform/print/PrintDialogModule.h"
#include "platform/print/Printer.h"
#include "platform/ui/PictureBox.h"
#include "platform/ui/RepaintLock.h"
#include "preview/PageComposer.h"
#include "preview/ThumbnailPanel.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace telmo {
namespace {
// The hourglass for a scope, restored on every path out.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

// The thumbnails switch: a column of small pages beside a large one.
QIcon ThumbnailsIcon() {
    constexpr qreal ratio = 3; // sharp up to three device pixels a pixel
    QPixmap icon(QSize(18, 16) * ratio);
    icon.setDevicePixelRatio(ratio);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setPen(QPen(Qt::black, 1));
    for (int i = 0; i < 3; ++i)
        painter.drawRect(QRectF(1.5, 1.5 + 4.5 * i, 4, 3.5));
    painter.drawRect(QRectF(7.5, 1.5, 9, 13));
    return QIcon(icon);
}

// What an arrow key and a wheel notch move the zoomed page by, in pixels.
constexpr int kArrowPixels = 40;
constexpr int kNotchPixels = 60;
constexpr int kNotch = 120; // a wheel notch in eighths of a degree
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

    cmdThumbnails = new QPushButton(this);
    cmdThumbnails->setObjectName(QStringLiteral("cmdThumbnails"));
    cmdThumbnails->setCheckable(true);
    cmdThumbnails->setAutoDefault(false);
    cmdThumbnails->setIcon(ThumbnailsIcon());
    cmdThumbnails->setToolTip(QStringLiteral("Show or hide the pages beside the page"));
    cbZoom = new QComboBox(this);
    cbZoom->setObjectName(QStringLiteral("cbZoom"));
    cbZoom->setEditable(true);
    cbZoom->setInsertPolicy(QComboBox::NoInsert);
    cbZoom->setMaxVisibleItems(2 + static_cast<int>(kZoomSteps.size()));
    cbZoom->addItems({QStringLiteral("Fit page"), QStringLiteral("Fit width")});
    for (int step : kZoomSteps)
        cbZoom->addItem(QStringLiteral("%1%").arg(step));
    cbZoom->setToolTip(
        QStringLiteral("Zoom: type a percentage from 25 to 400 and press Enter, or fit the page"));
    txtPage = new QLineEdit(this);
    txtPage->setObjectName(QStringLiteral("txtPage"));
    txtPage->setAlignment(Qt::AlignRight);
    // Any page number there can be is accepted as typed; Enter goes to the nearest page.
    txtPage->setValidator(new QIntValidator(1, 32766, txtPage));
    txtPage->setToolTip(QStringLiteral("Go to page (Ctrl+G): type its number and press Enter"));
    lstThumbnails = new ThumbnailPanel(this);
    lstThumbnails->hide();
    PlaceBandControls();

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

    connect(cmdThumbnails, &QPushButton::clicked, this, [this](bool show) { ShowThumbnails(show); });
    connect(lstThumbnails, &ThumbnailPanel::PageClicked, this, [this](int page) { GoToPage(page); });
    connect(txtPage, &QLineEdit::returnPressed, this, [this] {
        // A number past the last page goes to the last page.
        GoToPage(std::min(txtPage->text().toInt(), static_cast<int>(State().TotalPages)));
        if (!IsUnloaded())
            pbBase->setFocus();
    });
    connect(cbZoom, &QComboBox::activated, this,
            [this](int index) { ApplyZoomText(cbZoom->itemText(index)); });
    connect(cbZoom->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { ApplyZoomText(cbZoom->currentText()); });
    // The page view takes the focus from a click, so the keys reach the window from there.
    pbBase->setFocusPolicy(Qt::ClickFocus);
    for (QWidget* view : std::initializer_list<QWidget*>{pbBase, pbData, HS, VS})
        view->installEventFilter(this);
    AddKeys();
}

void PreviewWindow::PlaceBandControls() {
    PlaceInTwips(*cmdThumbnails, 60, 25, 450, 325);
    PlaceInTwips(*cbZoom, 6110, 25, 1180, 325);
    // The caption and the page box take the room of the longest caption there can be.
    const QFontMetrics caption(lbPageNo->font());
    const float captionWidth = std::max(
        1545.0f, PixelsToTwips(caption.horizontalAdvance(QStringLiteral("Page 32766 of 32766")) + 6));
    const float captionHeight = std::max(195.0f, PixelsToTwips(caption.height() + 1));
    PlaceInTwips(*lbPageNo, 9720, 100, captionWidth, captionHeight);
    const QFontMetrics digits(txtPage->font());
    PlaceInTwips(*txtPage, 9720 + captionWidth + 60, 50,
                 PixelsToTwips(digits.horizontalAdvance(QStringLiteral("32766")) + 16), 325);
}

// Keys reach the window before its controls (a box being typed in keeps its own editing
// keys). Each runs what its button runs, so it does nothing while that button is disabled.
void PreviewWindow::AddKeys() {
    const auto add = [this](std::initializer_list<QKeySequence> keys, std::function<void()> run,
                            std::vector<QShortcut*>* group = nullptr) {
        for (const QKeySequence& key : keys) {
            auto* shortcut = new QShortcut(key, this);
            shortcut->setContext(Qt::WindowShortcut);
            connect(shortcut, &QShortcut::activated, this, run);
            if (group != nullptr)
                group->push_back(shortcut);
        }
    };
    add({QKeySequence(Qt::Key_Escape)}, [this] { Form_KeyDown(27); });
    add({QKeySequence(Qt::Key_Home), QKeySequence(Qt::CTRL | Qt::Key_Home)}, [this] { MoveIfEnabled(0); });
    add({QKeySequence(Qt::Key_PageUp)}, [this] { MoveIfEnabled(1); });
    add({QKeySequence(Qt::Key_PageDown)}, [this] { MoveIfEnabled(2); });
    add({QKeySequence(Qt::Key_End), QKeySequence(Qt::CTRL | Qt::Key_End)}, [this] { MoveIfEnabled(3); });
    const float arrow = PixelsToTwips(kArrowPixels);
    add({QKeySequence(Qt::Key_Up)}, [this, arrow] { ScrollByScreenTwips(VS, -arrow); });
    add({QKeySequence(Qt::Key_Down)}, [this, arrow] { ScrollByScreenTwips(VS, arrow); });
    add({QKeySequence(Qt::Key_Left)}, [this, arrow] { ScrollByScreenTwips(HS, -arrow); });
    add({QKeySequence(Qt::Key_Right)}, [this, arrow] { ScrollByScreenTwips(HS, arrow); });
    // "+" is Shift+= on many keyboards: both are zoom in, with or without Ctrl.
    add(
        {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::Key_Equal),
         QKeySequence(Qt::CTRL | Qt::Key_Equal)},
        [this] { ZoomIn(); }, &zoomInKeys_);
    add(
        {QKeySequence(Qt::Key_Minus), QKeySequence(Qt::CTRL | Qt::Key_Minus)}, [this] { ZoomOut(); },
        &zoomOutKeys_);
    add({QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] { FitPage(); });
    add({QKeySequence(Qt::CTRL | Qt::Key_P)}, [this] { CmdOperations_Click(0); });
    // Ctrl+G: type a page number, then Enter.
    add({QKeySequence(Qt::CTRL | Qt::Key_G)}, [this] {
        txtPage->setFocus();
        txtPage->selectAll();
    });
}

void PreviewWindow::MoveIfEnabled(int16_t Index) {
    if (cmdMove[Index]->isEnabled())
        cmdMove_Click(Index);
}

PreviewWindow::~PreviewWindow() {
    if (RepaintLock::Holder() == this || RepaintLock::Holder() == pbBase)
        RepaintLock::LockWindowUpdate(nullptr);
}

void PreviewWindow::Form_Load() {
    try {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            // Four fifths of the screen, centred: a page fitted to that is large enough to
            // read. Never smaller than the design size, nor narrower than the band's controls.
            const QRect area = screen->availableGeometry();
            const int bandWidth = txtPage->geometry().right() + TwipsToPixels(60);
            resize(std::min(area.width(), std::max({width(), bandWidth, area.width() * 4 / 5})),
                   std::min(area.height(), std::max(height(), area.height() * 4 / 5)));
            move(area.x() + area.width() / 2 - width() / 2, area.y() + area.height() / 2 - height() / 2);
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
    lstThumbnails->Reset(0); // the pages of the old layout are gone
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
    // The thumbnails, when shown, take a column on the left below the band.
    const float panel = lstThumbnails->isHidden() ? 0.0f : PixelsToTwips(lstThumbnails->PreferredWidth());
    // In a window too small for the band and the scroll bars the viewport shrinks to nothing.
    const float baseTop = top + 425;
    const float baseWidth = std::max(0.0f, width - vsWidth - panel);
    const float baseHeight = std::max(0.0f, height - (hsHeight + baseTop));
    pbBase->Move(left + panel, baseTop, baseWidth, baseHeight);
    PlaceInTwips(*VS, panel + baseWidth, baseTop, vsWidth, baseHeight);
    PlaceInTwips(*HS, panel, top + 425 + baseHeight, baseWidth, hsHeight);
    PlaceInTwips(*lstThumbnails, left, baseTop, panel, std::max(0.0f, height - baseTop));
    if (pbBase->size() != lastViewportSize_) {
        lastViewportSize_ = pbBase->size();
        pbBase_Resize();
    }
}

void PreviewWindow::pbBase_Resize() {
    if (FitToWindow) {
        ScopedRepaintLock lock(pbBase);
        SetWindowForZoomIn();
    } else if (fitWidth_ || zoom_ != 1.0f) {
        // The zoomed views are laid out for the new viewport about the same part of the page.
        ZoomAround(zoom_, fitWidth_, ViewportCentre());
    } else {
        // The page stays where it is; a click in a scroll bar's trough still pages by the viewport.
        HS->setPageStep(qRound(pbBase->ScaleWidth() / zoom_));
        VS->setPageStep(qRound(pbBase->ScaleHeight() / zoom_));
    }
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
        zoom_ = 1;
        fitWidth_ = false;
        cmdOperations[2]->setText(QStringLiteral("&Zoom Out"));
        SetWindowForZoomOut();
        pbData->SetPicture(pbTempData->Picture());
    } else {
        FitToWindow = true;
        cmdOperations[2]->setText(QStringLiteral("&Zoom In"));
        SetWindowForZoomIn();
        RepaintFitPage();
    }
    ShowControlStates();
}

void PreviewWindow::RepaintFitPage() {
    fitPageRect_ = QRectF(500, 100, pbData->ScaleWidth() - 1000, pbData->ScaleHeight() - 200);
    pbData->SetPicture(nullptr);
    pbData->PaintPicture(pbTempData->Picture(), 500, 100, pbData->ScaleWidth() - 1000,
                         pbData->ScaleHeight() - 200, 0, 0, pbTempData->Width(), pbTempData->Height());
}

void PreviewWindow::ShowZoomedPage() {
    if (zoom_ == 1.0f) {
        pbData->SetPicture(pbTempData->Picture());
        return;
    }
    pbData->SetPicture(nullptr);
    pbData->PaintPicture(pbTempData->Picture(), 0, 0, pbTempData->Width() * zoom_,
                         pbTempData->Height() * zoom_, 0, 0, pbTempData->Width(), pbTempData->Height());
}

float PreviewWindow::ZoomFactor() const {
    if (!FitToWindow)
        return zoom_;
    return pbTempData->Width() > 0 ? static_cast<float>(fitPageRect_.width()) / pbTempData->Width() : 1.0f;
}

QPointF PreviewWindow::ViewportCentre() const {
    return QPointF(pbBase->Width() / 2, pbBase->Height() / 2);
}

// The page point shown at a point of the viewport (twips of the page, from its top-left corner).
QPointF PreviewWindow::PagePointAt(QPointF anchor) const {
    const float border = (pbData->Width() - pbData->ScaleWidth()) / 2;
    const QPointF inData = anchor - QPointF(pbData->Left() + border, pbData->Top() + border);
    if (!FitToWindow)
        return inData / zoom_;
    if (fitPageRect_.isEmpty())
        return {};
    const QPointF inPage = inData - fitPageRect_.topLeft();
    return QPointF(inPage.x() * pbTempData->Width() / fitPageRect_.width(),
                   inPage.y() * pbTempData->Height() / fitPageRect_.height());
}

// The whole page width in view: the printable width centred as the full-size view centres it,
// the page's right edge at least 60 twips inside the viewport, 60 free on the left.
float PreviewWindow::FitWidthZoom() const {
    const Printer& printer = Printers::Current();
    const float viewport = pbBase->ScaleWidth();
    const float page = static_cast<float>(ToLong(printer.Width())), printable = printer.ScaleWidth();
    const float zoom = std::min((viewport - 300) / printable, (viewport + 60) / (2 * page - printable));
    return std::max(zoom, 0.05f);
}

void PreviewWindow::ZoomIn() {
    const int percent = qRound(ZoomFactor() * 100);
    for (int step : kZoomSteps)
        if (step > percent) {
            ZoomAround(static_cast<float>(step) / 100, false, ViewportCentre());
            return;
        }
}

void PreviewWindow::ZoomOut() {
    const int percent = qRound(ZoomFactor() * 100);
    for (auto step = kZoomSteps.rbegin(); step != kZoomSteps.rend(); ++step)
        if (*step < percent) {
            ZoomAround(static_cast<float>(*step) / 100, false, ViewportCentre());
            return;
        }
}

void PreviewWindow::FitPage() {
    if (!FitToWindow)
        CmdOperations_Click(2); // the zoom button's way back to the fitted page
}

void PreviewWindow::FitWidth() {
    ZoomAround(0, true, ViewportCentre());
}

void PreviewWindow::SetZoom(float zoom) {
    ZoomAround(std::clamp(zoom, kZoomSteps.front() / 100.0f, kZoomSteps.back() / 100.0f), false,
               ViewportCentre());
}

void PreviewWindow::ApplyZoomText(const QString& text) {
    const QString typed = text.trimmed();
    if (typed == cbZoom->itemText(0)) {
        FitPage();
    } else if (typed == cbZoom->itemText(1)) {
        FitWidth();
    } else {
        bool ok = false;
        const double percent = QString(typed).remove(QLatin1Char('%')).trimmed().toDouble(&ok);
        if (ok && percent > 0)
            SetZoom(static_cast<float>(percent / 100));
        else
            ShowControlStates(); // back to the zoom in force
    }
    if (!IsUnloaded())
        pbBase->setFocus();
}

void PreviewWindow::ZoomAround(float zoom, bool fitWidth, QPointF anchor) {
    QPointer<PreviewWindow> self(this);
    try {
        ScopedRepaintLock lock(pbBase);
        WaitCursor hourglass;
        const QPointF point = PagePointAt(anchor);
        FitToWindow = false;
        fitWidth_ = fitWidth;
        zoom_ = fitWidth ? FitWidthZoom() : zoom;
        cmdOperations[2]->setText(QStringLiteral("&Zoom Out"));
        SetWindowForZoomOut();
        ShowZoomedPage();
        // The page point that was under the anchor goes back under it, as far as the scroll
        // ranges let it; a direction that does not scroll stays centred.
        const float border = (pbData->Width() - pbData->ScaleWidth()) / 2;
        const auto scrollTo = [this](QScrollBar* bar, double value, void (PreviewWindow::*follow)()) {
            if (!bar->isEnabled())
                return;
            bar->setValue(std::clamp(static_cast<int>(std::lround(value)), bar->minimum(), bar->maximum()));
            (this->*follow)();
        };
        scrollTo(HS, point.x() + (60 + border - anchor.x()) / zoom_, &PreviewWindow::HS_Change);
        scrollTo(VS, point.y() + (60 + border - anchor.y()) / zoom_, &PreviewWindow::VS_Change);
        ShowControlStates();
    } catch (...) {
        ReportCurrentException(module::kPreview, ".Zoom");
        if (self)
            Unload();
    }
}

void PreviewWindow::ScrollByScreenTwips(QScrollBar* bar, float twips) {
    if (FitToWindow || !bar->isEnabled())
        return;
    bar->setValue(bar->value() + static_cast<int>(std::lround(twips / zoom_)));
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        pbBase_MouseWheel(static_cast<QWheelEvent*>(event), static_cast<QWidget*>(watched));
        return true;
    }
    return Form::eventFilter(watched, event);
}

void PreviewWindow::pbBase_MouseWheel(QWheelEvent* event, QWidget* over) {
    const QPoint delta = event->angleDelta();
    // What is left of turns the other way does not count against this one.
    if ((wheelRest_ < 0 && delta.y() > 0) || (wheelRest_ > 0 && delta.y() < 0))
        wheelRest_ = 0;
    if (event->modifiers() & Qt::ControlModifier) {
        wheelRest_ += delta.y();
        const QPointF anchor =
            QPointF(pbBase->mapFromGlobal(over->mapToGlobal(event->position().toPoint()))) *
            ScreenTwipsPerPixel();
        for (; wheelRest_ >= kNotch && !IsUnloaded(); wheelRest_ -= kNotch) {
            const int percent = qRound(ZoomFactor() * 100);
            const auto step =
                std::find_if(kZoomSteps.begin(), kZoomSteps.end(), [&](int s) { return s > percent; });
            if (step != kZoomSteps.end())
                ZoomAround(static_cast<float>(*step) / 100, false, anchor);
        }
        for (; wheelRest_ <= -kNotch && !IsUnloaded(); wheelRest_ += kNotch) {
            const int percent = qRound(ZoomFactor() * 100);
            const auto step =
                std::find_if(kZoomSteps.rbegin(), kZoomSteps.rend(), [&](int s) { return s < percent; });
            if (step != kZoomSteps.rend())
                ZoomAround(static_cast<float>(*step) / 100, false, anchor);
        }
        return;
    }
    const float notch = PixelsToTwips(kNotchPixels);
    if (delta.x() != 0 || (event->modifiers() & Qt::ShiftModifier) || over == HS) {
        const int across = delta.x() != 0 ? delta.x() : delta.y();
        ScrollByScreenTwips(HS, -static_cast<float>(across) / kNotch * notch);
        return;
    }
    const int dy = delta.y();
    if (dy == 0)
        return;
    const bool down = dy < 0;
    const bool scrolls = !FitToWindow && VS->isEnabled();
    const bool atEdge = !scrolls || (down ? VS->value() >= VS->maximum() : VS->value() <= VS->minimum());
    if (!atEdge) {
        wheelRest_ = 0;
        ScrollByScreenTwips(VS, -static_cast<float>(dy) / kNotch * notch);
        return;
    }
    // At the edge, or fitted: a whole notch turns the page, and the next page starts at its
    // top (the previous one at its foot), as if the pages followed one another.
    wheelRest_ += dy;
    if (std::abs(wheelRest_) < kNotch)
        return;
    wheelRest_ = 0;
    QPointer<PreviewWindow> self(this);
    const int16_t before = State().CurrentPage;
    MoveIfEnabled(down ? 2 : 1);
    if (self && !IsUnloaded() && scrolls && State().CurrentPage != before)
        VS->setValue(down ? VS->minimum() : VS->maximum());
}

void PreviewWindow::ShowThumbnails(bool show) {
    lstThumbnails->setVisible(show);
    Form_Resize();
    if (FitToWindow)
        RepaintFitPage();
    else
        ZoomAround(zoom_, fitWidth_, ViewportCentre());
    ShowControlStates();
}

void PreviewWindow::ShowControlStates() {
    const JobState& s = State();
    const int pages = std::max<int>(0, s.TotalPages);
    txtPage->setText(pages > 0 ? QString::number(s.CurrentPage) : QString());
    txtPage->setEnabled(pages > 1);
    const int percent = qRound(ZoomFactor() * 100);
    cbZoom->setEditText(QStringLiteral("%1%").arg(percent));
    for (QShortcut* key : zoomInKeys_)
        key->setEnabled(percent < kZoomSteps.back());
    for (QShortcut* key : zoomOutKeys_)
        key->setEnabled(percent > kZoomSteps.front());
    if (lstThumbnails->PageCount() != pages)
        lstThumbnails->Reset(pages);
    lstThumbnails->SetCurrentPage(s.CurrentPage);
    cmdThumbnails->setChecked(!lstThumbnails->isHidden());
}

void PreviewWindow::GoToPage(int page) {
    JobState& s = State();
    if (page < 1 || page > s.TotalPages || page == s.CurrentPage) {
        ShowControlStates();
        return;
    }
    QPointer<PreviewWindow> self(this);
    try {
        SetWaitPointer(true);
        ScopedRepaintLock lock(pbBase);
        s.CurrentPage = static_cast<int16_t>(page);
        // The buttons as a move to this page by them would leave them.
        SetMoveButtons(page > 1, page < s.TotalPages);
        UpdatePageLabel(s.CurrentPage);
        if (static_cast<size_t>(page) >= s.PageBlocks.size())
            throw RuntimeError(err::kSubscriptOutOfRange);
        PageBlock& block = s.PageBlocks[static_cast<size_t>(page)];
        CopyMorePagesA(block.StartCol, block.EndCol, block.StartRow, block.EndRow);
        if (self)
            SetWaitPointer(false);
    } catch (...) {
        ReportCurrentException(module::kPreview, ".GoToPage");
        if (self) {
            SetWaitPointer(false);
            Unload();
        }
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
    // At zoom_ (1 in the full-size view). Scroll positions are twips of the page, so that a
    // position means the same part of the page at every zoom.
    const Printer& printer = Printers::Current();
    const float zoom = zoom_;
    pbData->SetLeft(pbBase->ScaleLeft() + 60);
    pbData->SetTop(pbBase->ScaleTop() + 60);
    pbData->SetWidth(static_cast<float>(ToLong(printer.Width())) * zoom);
    pbData->SetHeight(static_cast<float>(ToLong(printer.Height())) * zoom);
    // A click in a scroll bar's trough pages by what the viewport shows.
    if (pbBase->ScaleWidth() - 180 <= printer.ScaleWidth() * zoom) {
        HS->setEnabled(true);
        HS->setMinimum(0);
        HS->setMaximum(ToInteger(std::fabs(pbBase->ScaleWidth() - pbData->ScaleWidth() - 180) / zoom));
        HS->setSingleStep(10);
        HS->setPageStep(qRound(pbBase->ScaleWidth() / zoom));
    } else {
        HS->setEnabled(false);
        pbData->SetLeft((pbBase->ScaleWidth() - printer.ScaleWidth() * zoom - 180) / 2);
    }
    if (pbBase->ScaleHeight() - 180 <= printer.ScaleHeight() * zoom) {
        VS->setEnabled(true);
        VS->setMinimum(0);
        VS->setMaximum(ToInteger(std::fabs(pbBase->ScaleHeight() - pbData->ScaleHeight() - 180) / zoom));
        VS->setSingleStep(10);
        VS->setPageStep(qRound(pbBase->ScaleHeight() / zoom));
    } else {
        VS->setEnabled(false);
        pbData->SetTop((pbBase->ScaleHeight() - printer.ScaleHeight() * zoom - 180) / 2);
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
        PageComposer::PlaceBody(*pbTempData, *pbTemp);
        pbTempData->SetPicture(pbTempData->Image());
        if (FitToWindow) {
            fitPageRect_ = QRectF(500, 100, pbData->ScaleWidth() - 500, pbData->ScaleHeight() - 500);
            pbData->PaintPicture(pbTempData->Picture(), 500, 100, pbData->ScaleWidth() - 500,
                                 pbData->ScaleHeight() - 500, 0, 0, pbTempData->Width(),
                                 pbTempData->Height());
        } else {
            pbData->SetHeight(static_cast<float>(ToLong(Printers::Current().Height())) * zoom_);
            ShowZoomedPage();
        }
        ShowControlStates();
    } catch (...) {
        ReportCurrentException(module::kPreview, ".CopyMorePagesA");
        if (self)
            Unload();
    }
}

void PreviewWindow::ShowNoPage() {
    pbTempData->SetPicture(nullptr);
    pbData->SetPicture(nullptr);
    ShowControlStates();
}

void PreviewWindow::ComposeBody(float& sSCol, float& sECol, float& sSRow, float& sERow) {
    PageComposer::ComposeBody(GData, *pbTemp, sSCol, sECol, sSRow, sERow);
}

void PreviewWindow::DisplayHeader(DrawingSurface& pbData) {
    try {
        PageComposer::DrawHeader(pbData);
    } catch (...) {
        ReportCurrentException(module::kPreview, ".DisplayHeader");
    }
}

void PreviewWindow::DisplayPageNoForPreview() {
    try {
        PageComposer::DrawPageNumber(*pbTempData, lbPageNo->text());
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

// Positions are page twips: the page moves by the position times the zoom (by the position
// itself at full size).
void PreviewWindow::HS_Change() {
    pbData->SetLeft(60.0f - static_cast<float>(ToInteger(HS->value())) * zoom_);
}

void PreviewWindow::VS_Change() {
    pbData->SetTop(60.0f - static_cast<float>(ToInteger(VS->value())) * zoom_);
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
        lstThumbnails->Reset(0); // the pages of the old layout are gone
        const bool zoomed = !FitToWindow && (zoom_ != 1.0f || fitWidth_);
        const float zoom = zoom_;
        const bool fitWidth = fitWidth_;
        CalculagePrintDataSettings();
        if (self && !IsUnloaded()) {
            // ToggleZoom inverts the view back: the view in force is rebuilt for the new page,
            // at the zoom that was in force.
            FitToWindow = !FitToWindow;
            ToggleZoom();
            if (zoomed)
                ZoomAround(zoom, fitWidth, ViewportCentre());
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

#include "dialogs/PrintStatusWindow.h"

#include "component/JobState.h"
#include "component/ReportError.h"
#include "engine/PageBody.h"
#include "engine/PageNumber.h"
#include "engine/PrintAllPages.h"
#include "engine/PrintDataSettings.h"
#include "engine/ReportDocument.h"
#include "engine/ReportHeader.h"
#include "platform/RuntimeError.h"
#include "platform/Twips.h"
#include "platform/print/Printer.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/PictureBox.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QVBoxLayout>

namespace telmo {
namespace {

bool runsUnseen = false;

} // namespace

PrintStatusWindow::PrintStatusWindow() {
    setWindowTitle(QStringLiteral("Printer Status"));
    setFixedSize(TwipsToPixels(4800), TwipsToPixels(2000));
    auto* layout = new QVBoxLayout(this);
    lblStatus = new QLabel(QStringLiteral("Loading Please Wait ...."), this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    ProgBar = new QProgressBar(this);
    ProgBar->setObjectName(QStringLiteral("ProgBar"));
    ProgBar->setRange(0, 100);
    ProgBar->setValue(0);
    // The bar is repainted once a page. In the default style a repaint (gradients, rounded
    // frame) cost as much as a seventh of a whole print run to PDF; the classic style's
    // chunked bar, the look of the original progress bar, costs next to nothing.
    if (QStyle* classic = QStyleFactory::create(QStringLiteral("Windows"))) {
        classic->setParent(ProgBar);
        ProgBar->setStyle(classic);
    }
    layout->addWidget(lblStatus);
    layout->addWidget(ProgBar);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    connect(cmdCancel, &QPushButton::clicked, this, &PrintStatusWindow::RequestCancel);
    layout->addWidget(cmdCancel, 0, Qt::AlignRight);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(runsUnseen ? 0 : 1000);
    if (runsUnseen) {
        setAttribute(Qt::WA_DontShowOnScreen);
        setUpdatesEnabled(false); // the progress bar would still repaint itself on every value
    }
    Timer1->setSingleShot(false);
    connect(Timer1, &QTimer::timeout, this, &PrintStatusWindow::Timer1_Timer);
    // The carrier of each page's grid image: never shown, as large as the image it holds.
    pbSource = new PictureBox(this);
    pbSource->setObjectName(QStringLiteral("pbSource"));
    pbSource->SetBorder(false);
    pbSource->SetAutoSize(true);
    pbSource->hide();
}

PrintStatusWindow::~PrintStatusWindow() = default;

void PrintStatusWindow::SetRunsUnseen(bool unseen) {
    runsUnseen = unseen;
}

void PrintStatusWindow::Form_Load() {
    try {
        Printers::Current().SetFontName(QStringLiteral("Times New Roman"));
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            move(area.width() / 2 - width() / 2, area.height() / 2 - height() / 2);
        }
        startPending_ = true;
        State().PrintCancelled = false;
        State().PagesPrinted = 0;
    } catch (...) {
        ReportCurrentException(module::kPrintStatus, ".Load");
        Unload();
    }
}

void PrintStatusWindow::showEvent(QShowEvent* event) {
    Form::showEvent(event);
    Form_Activate();
}

void PrintStatusWindow::Form_Activate() {
    lblStatus->repaint();
    Timer1->start();
}

void PrintStatusWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        RequestCancel();
        event->accept();
        return;
    }
    Form::keyPressEvent(event);
}

void PrintStatusWindow::RequestCancel() {
    // The run still writes to this window between pages, so it is not closed under the run:
    // the run looks at the request after each page and stops there.
    if (!running_) {
        // The start may already be due: it must not come after the window is gone.
        startPending_ = false;
        Timer1->stop();
        Unload();
        return;
    }
    if (cancelRequested_)
        return;
    cancelRequested_ = true;
    cmdCancel->setEnabled(false);
    lblStatus->setText(QStringLiteral("Cancelling after this page ...."));
}

namespace {

// A cancelled run's document has been dropped: its job withdrawn, or its PDF not saved; this is
// told once the window is gone.
void TellCancelled() {
    const JobState& state = State();
    const Printer& printer = Printers::Current();
    QString text = QStringLiteral("Printing cancelled after %1 of %2 pages")
                       .arg(state.PagesPrinted)
                       .arg(state.TotalPages);
    if (printer.DeviceName() == Printers::BuiltInPdfName()) {
        text += QStringLiteral("; the unfinished PDF was not saved to %1").arg(Printers::PdfOutputFile());
    } else {
        text += QStringLiteral("; the job was withdrawn from printer %1, nothing of it prints")
                    .arg(printer.DeviceName());
    }
    MessageBox::Show(text + QLatin1Char('.'), QStringLiteral("TELMO Preview"), MessageBox::kInformation);
}

} // namespace

void PrintStatusWindow::Timer1_Timer() {
    if (!startPending_)
        return;
    QPointer<PrintStatusWindow> self(this);
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        Timer1->stop();
        startPending_ = false;
        running_ = true;
        CalculagePrintDataSettings();
        JobState& state = State();
        Printers::Current().SetDocumentTitle(state.Title1Message);
        if (state.PaginationMode == kOnePage && state.TotalPages == 1) {
            lblStatus->setText(QStringLiteral("Page 1 of 1 is Printing"));
            ProgBar->setValue(ProgBar->maximum() / 2);
            Printer& printer = Printers::Current();
            printer.SetFontName(state.DataFontName);
            int16_t firstPage = 1;
            PrintPageNo(firstPage);
            PrintReportHeader();
            if (static_cast<size_t>(state.CurrentPage) >= state.PageBlocks.size())
                throw RuntimeError(err::kSubscriptOutOfRange);
            PageBlock& block = state.PageBlocks[static_cast<size_t>(state.CurrentPage)];
            SendDataToPrinter(SData, *pbSource, block.StartCol, block.EndCol, block.StartRow, block.EndRow);
            state.PagesPrinted = 1;
            EndReportDocument();
            QCoreApplication::processEvents();
        } else {
            PrintAllPages(SData, *pbSource);
            // It reports its own failures and then leaves the document open.
            EndOpenReportDocument();
        }
        QApplication::restoreOverrideCursor();
        running_ = false;
        if (self)
            Unload();
        QCoreApplication::processEvents();
        if (state.PrintCancelled)
            TellCancelled();
    } catch (...) {
        QApplication::restoreOverrideCursor();
        // A document the failed run left open is ended: the pages already drawn reach a spooler
        // printer, and the next run starts a document of its own. The built-in PDF printer
        // saves nothing of a run that failed.
        ReportCurrentException(module::kPrintStatus, ".Timer");
        EndOpenReportDocument();
        if (self) {
            running_ = false;
            Unload();
        }
    }
}

} // namespace telmo

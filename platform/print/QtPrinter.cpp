#include "platform/print/QtPrinter.h"

#include "platform/RuntimeError.h"
#include "platform/pdf/PictureText.h"
#include "platform/print/Spooler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinterInfo>
#include <QThread>

namespace telmo {
namespace {

constexpr double kTwipsPerInch = 1440.0;

// The built-in PDF printer keeps the quarter-inch unprintable margins of a typical office
// printer, so that a report laid out for it paginates as it would on paper.
constexpr double kPdfMarginPoints = 18.0;

// How long a job handed to the spooler is watched, and how often it is asked after.
constexpr qint64 kJobWatchMs = 2000;
constexpr unsigned long kJobPollMs = 50;

QPageLayout::Orientation ToQtOrientation(int16_t orientation) {
    switch (orientation) {
    case Printer::kPortrait:
        return QPageLayout::Portrait;
    case Printer::kLandscape:
        return QPageLayout::Landscape;
    default:
        throw RuntimeError(err::kInvalidPropertyValue);
    }
}

QPrinter::DuplexMode ToQtDuplex(int16_t duplex) {
    switch (duplex) {
    case Printer::kSimplex:
        return QPrinter::DuplexNone;
    case Printer::kDuplexLongEdge:
        return QPrinter::DuplexLongSide;
    case Printer::kDuplexShortEdge:
        return QPrinter::DuplexShortSide;
    default:
        throw RuntimeError(err::kInvalidPropertyValue);
    }
}

int16_t FromQtDuplex(QPrinter::DuplexMode mode) {
    switch (mode) {
    case QPrinter::DuplexLongSide:
    case QPrinter::DuplexAuto: // the printer's own choice, which is long edge for portrait pages
        return Printer::kDuplexLongEdge;
    case QPrinter::DuplexShortSide:
        return Printer::kDuplexShortEdge;
    case QPrinter::DuplexNone:
        break;
    }
    return Printer::kSimplex;
}

RuntimeError PrinterError(const QString& what) {
    return RuntimeError(err::kPrinterError,
                        StandardErrorText(err::kPrinterError) + QStringLiteral(": ") + what);
}

} // namespace

QtPrinter::QtPrinter(const QString& deviceName) : printer_(QPrinter::HighResolution) {
    if (deviceName == Printers::BuiltInPdfName()) {
        printer_.setOutputFormat(QPrinter::PdfFormat);
        printer_.setPageMargins(
            QMarginsF(kPdfMarginPoints, kPdfMarginPoints, kPdfMarginPoints, kPdfMarginPoints),
            QPageLayout::Point);
    } else {
        const QPrinterInfo info = QPrinterInfo::printerInfo(deviceName);
        if (info.isNull())
            throw PrinterError(QStringLiteral("no printer named \"%1\"").arg(deviceName));
        printer_.setOutputFormat(QPrinter::NativeFormat);
        printer_.setPrinterName(info.printerName());
    }
    printer_.setDocName(QStringLiteral("TELMOPreview report"));
}

QtPrinter::~QtPrinter() {
    // A spooler document left open prints, as it would when the host ends. Without the
    // application object Qt cannot finish it (its font engines are gone), and it is dropped
    // instead. A PDF file left open is not a finished report: it is removed.
    if (painter_.isActive() && QCoreApplication::instance())
        painter_.end();
    pdfPainter_.reset();
    pdfWriter_.reset();
    pdfFile_.reset();
}

double QtPrinter::TwipsPerDevicePixel() const {
    return kTwipsPerInch / printer_.resolution();
}

float QtPrinter::ScaleWidth() const {
    return static_cast<float>(printer_.pageLayout().paintRectPixels(printer_.resolution()).width() *
                              TwipsPerDevicePixel());
}

float QtPrinter::ScaleHeight() const {
    return static_cast<float>(printer_.pageLayout().paintRectPixels(printer_.resolution()).height() *
                              TwipsPerDevicePixel());
}

float QtPrinter::Width() const {
    return static_cast<float>(printer_.pageLayout().fullRectPixels(printer_.resolution()).width() *
                              TwipsPerDevicePixel());
}

float QtPrinter::Height() const {
    return static_cast<float>(printer_.pageLayout().fullRectPixels(printer_.resolution()).height() *
                              TwipsPerDevicePixel());
}

const QFontMetricsF& QtPrinter::Metrics() {
    // The engine measures many texts in few fonts; building metrics resolves the font each time.
    if (!metricsFont_ || !(*metricsFont_ == Font())) {
        metrics_.emplace(ToTwipsFont(Font()));
        metricsFont_ = Font();
    }
    return *metrics_;
}

float QtPrinter::TextWidth(const QString& text) {
    // An Indic text the font lacks is measured in the font it is drawn in.
    const CachedFont& cached = FontFor(Font());
    const QFont& font = FontForScriptOf(cached, text);
    if (&font != &cached.font)
        return static_cast<float>(QFontMetricsF(font).horizontalAdvance(text));
    return static_cast<float>(Metrics().horizontalAdvance(text));
}

float QtPrinter::TextHeight(const QString&) {
    return static_cast<float>(Metrics().height());
}

void QtPrinter::SetTwipsTransform() {
    // The device origin is the top-left corner of the printable area already (not full page).
    painter_.resetTransform();
    const double scale = 1.0 / TwipsPerDevicePixel();
    painter_.scale(scale, scale);
}

std::optional<QString> QtPrinter::QueueProblem() const {
    if (IsBuiltInPdf())
        return std::nullopt;
    const QString name = printer_.printerName();
    const std::optional<spooler::QueueStatus> queue = spooler::QueryQueue(name);
    if (queue && !queue->spoolerAnswers)
        return QStringLiteral("the print spooler does not answer for printer \"%1\"").arg(name);
    if (QPrinterInfo::printerInfo(name).isNull() || (queue && !queue->exists))
        return QStringLiteral("no printer named \"%1\" is installed").arg(name);
    // The reason an administrator gave is not among the queue's options; lpstat shows it.
    if (queue && !queue->acceptingJobs)
        return QStringLiteral("printer \"%1\" does not accept jobs").arg(name);
    return std::nullopt;
}

void QtPrinter::CheckReady() {
    if (const std::optional<QString> problem = QueueProblem())
        throw PrinterError(*problem);
}

bool QtPrinter::StartDrawing() {
    if (refused_)
        return false;
    if (!InDocument()) {
        // Asked at the start of every document, not once at selection: a queue can stop
        // accepting jobs, or be removed, while the printer stays selected.
        try {
            CheckReady();
        } catch (...) {
            refused_ = true;
            pendingPageBreaks_ = 0;
            throw;
        }
        if (IsBuiltInPdf()) {
            if (!BeginPdf())
                FailPdf(false);
        } else if (!painter_.begin(&printer_)) {
            throw PrinterError(QStringLiteral("cannot start a document on \"%1\"").arg(DeviceName()));
        } else {
            SetTwipsTransform();
        }
        pagesInDocument_ = 1;
    }
    while (pendingPageBreaks_ > 0) {
        --pendingPageBreaks_;
        ++pagesInDocument_;
        if (pdfWriter_) {
            const bool started = NextPdfPage();
            ++pdfPagesWritten_;
            if (!started)
                FailPdf(false);
        } else if (!printer_.newPage()) {
            throw PrinterError(QStringLiteral("cannot start a new page"));
        } else {
            SetTwipsTransform();
        }
    }
    return true;
}

void QtPrinter::SetDocumentTitle(const QString& title) {
    documentTitle_ = title;
    printer_.setDocName(title.isEmpty() ? QStringLiteral("TELMOPreview report") : title);
}

bool QtPrinter::BeginPdf() {
    pdfPagesWritten_ = 0;
    pdfFile_ = std::make_unique<OutputFile>(Printers::PdfOutputFile());
    if (!pdfFile_->Open())
        return false;
    const QString title =
        documentTitle_.isEmpty() ? QFileInfo(pdfFile_->Target()).completeBaseName() : documentTitle_;
    pdfWriter_ = std::make_unique<PdfWriter>(pdfFile_->Device(), title, printer_.creator());
    pdfPainter_ = std::make_unique<PdfPainter>(*pdfWriter_);
    return BeginPdfPage();
}

bool QtPrinter::BeginPdfPage() {
    const QPageLayout layout = printer_.pageLayout();
    return pdfWriter_->BeginPage(layout.fullRect(QPageLayout::Point).size(),
                                 layout.paintRect(QPageLayout::Point).topLeft());
}

bool QtPrinter::NextPdfPage() {
    // Orientation and paper set during the document apply from this page on; what the page
    // before wrote goes to the disk now, so that a full disk shows at the page that filled it.
    return pdfWriter_->EndPage() && pdfFile_->Flush() && BeginPdfPage();
}

void QtPrinter::FailPdf(bool documentEnds) {
    const QString target = pdfFile_ ? pdfFile_->Target() : Printers::PdfOutputFile();
    QString reason = pdfFile_ ? pdfFile_->ErrorString() : QString();
    if (reason.isEmpty())
        reason = QStringLiteral("the PDF writer could not start");
    const int pages = pdfPagesWritten_;
    pdfPainter_.reset();
    pdfWriter_.reset();
    pdfFile_.reset(); // removes what was written
    // The rest of a document still being drawn is dropped until its EndDoc.
    refused_ = !documentEnds;
    pendingPageBreaks_ = 0;
    const QString where =
        pages > 0 ? QStringLiteral(" while page %1 was written; the report was not saved").arg(pages)
                  : QStringLiteral("; nothing was written");
    throw PrinterError(QStringLiteral("cannot write \"%1\": %2%3").arg(target, reason, where));
}

void QtPrinter::NewPage() {
    ++pendingPageBreaks_;
}

void QtPrinter::CancelDoc() {
    if (!pdfWriter_) {
        EndDoc();
        return;
    }
    pdfPainter_.reset();
    pdfWriter_.reset();
    pdfFile_.reset(); // the target keeps whatever it held before
    pendingPageBreaks_ = 0;
    refused_ = false;
    ApplyJobOptions();
}

void QtPrinter::EndDoc() {
    if (refused_) {
        // Already reported when the document started; nothing reached the spooler.
        refused_ = false;
        pendingPageBreaks_ = 0;
        ApplyJobOptions();
        return;
    }
    if (!InDocument()) {
        pendingPageBreaks_ = 0;
        return;
    }
    // Every page break but the last ended a page that exists, even if nothing was drawn on it;
    // the last one would only open a page that nothing is drawn on.
    bool ok = true;
    while (pendingPageBreaks_ > 1 && ok) {
        --pendingPageBreaks_;
        ++pagesInDocument_;
        if (pdfWriter_) {
            ok = NextPdfPage();
            pdfPagesWritten_ += ok;
        } else {
            ok = printer_.newPage();
        }
    }
    pendingPageBreaks_ = 0;
    if (pdfWriter_) {
        if (ok) {
            ++pdfPagesWritten_; // the last page is written when the document ends
            ok = pdfWriter_->Finish() && pdfFile_->Commit();
            pdfPainter_.reset();
            pdfWriter_.reset();
        }
        ApplyJobOptions();
        if (!ok)
            FailPdf(true);
        pdfFile_.reset();
        return;
    }
    // Qt hands the job to the spooler only now, and says nothing when that fails: a queue
    // removed, refusing jobs, or a spooler gone since the document began gets nothing.
    const std::optional<QString> problem = QueueProblem();
    const int pages = pagesInDocument_;
    const QString pagesText = QStringLiteral("%1 page%2").arg(pages).arg(pages == 1 ? "" : "s");
    const int jobBefore = problem ? 0 : spooler::NewestJob(printer_.printerName()).id;
    ok = painter_.end() && ok;
    ApplyJobOptions();
    if (problem)
        throw PrinterError(QStringLiteral("%1 when the report's %2 were to be sent; nothing was printed")
                               .arg(*problem, pagesText));
    if (!ok)
        throw PrinterError(QStringLiteral("the document could not be completed"));
    if (const std::optional<QString> fate = JobProblem(jobBefore, pagesText))
        throw PrinterError(*fate);
}

std::optional<QString> QtPrinter::JobProblem(int jobBefore, const QString& pagesText) const {
    // The spooler gets a moment to start the job, so that a backend that fails at once is told;
    // a job still printing after it is taken to print, as the component cannot wait for paper.
    const QString name = printer_.printerName();
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const spooler::Job job = spooler::NewestJob(name);
        const QString jobName = QStringLiteral("job %1-%2").arg(name).arg(job.id);
        const bool timeUp = waited.elapsed() >= kJobWatchMs;
        if (job.id <= jobBefore) {
            if (timeUp)
                return QStringLiteral("the print spooler did not take the report's %1 for printer \"%2\"; "
                                      "nothing was printed")
                    .arg(pagesText, name);
        } else {
            switch (job.fate) {
            case spooler::JobFate::Completed:
                return std::nullopt;
            case spooler::JobFate::Aborted:
            case spooler::JobFate::Cancelled:
            case spooler::JobFate::Stopped:
                return QStringLiteral("printer \"%1\" did not print the report's %2: the spooler %3 %4 "
                                      "(lpstat -l -W completed -o %1 tells why)")
                    .arg(name, pagesText,
                         job.fate == spooler::JobFate::Stopped     ? QStringLiteral("stopped")
                         : job.fate == spooler::JobFate::Cancelled ? QStringLiteral("cancelled")
                                                                   : QStringLiteral("aborted"),
                         jobName);
            case spooler::JobFate::Held:
                return QStringLiteral("printer \"%1\" holds %2 (the report's %3); it prints when released")
                    .arg(name, jobName, pagesText);
            default:
                if (const std::optional<spooler::QueueStatus> queue = spooler::QueryQueue(name);
                    queue && queue->stopped)
                    return QStringLiteral(
                               "printer \"%1\" is stopped: %2 (the report's %3) waits in its queue "
                               "until the printer is enabled")
                        .arg(name, jobName, pagesText);
                if (timeUp)
                    return std::nullopt;
            }
        }
        QThread::msleep(kJobPollMs);
    }
}

void QtPrinter::ApplyJobOptions() {
    if (pendingCopies_) {
        printer_.setCopyCount(*pendingCopies_);
        pendingCopies_.reset();
    }
    if (pendingDuplex_) {
        printer_.setDuplex(ToQtDuplex(*pendingDuplex_));
        pdfDuplex_ = *pendingDuplex_;
        pendingDuplex_.reset();
    }
}

QString QtPrinter::DeviceName() const {
    return IsBuiltInPdf() ? Printers::BuiltInPdfName() : printer_.printerName();
}

int16_t QtPrinter::Orientation() const {
    return printer_.pageLayout().orientation() == QPageLayout::Landscape ? kLandscape : kPortrait;
}

void QtPrinter::SetOrientation(int16_t orientation) {
    if (!printer_.setPageOrientation(ToQtOrientation(orientation)))
        throw RuntimeError(err::kInvalidPropertyValue);
}

int16_t QtPrinter::PaperSize() const {
    return static_cast<int16_t>(printer_.pageLayout().pageSize().windowsId());
}

void QtPrinter::SetPaperSize(int16_t paperCode) {
    const QPageSize::PageSizeId id = QPageSize::id(static_cast<int>(paperCode));
    if (id == QPageSize::Custom)
        throw RuntimeError(err::kInvalidPropertyValue);
    if (!printer_.setPageSize(QPageSize(id)))
        throw RuntimeError(err::kInvalidPropertyValue);
}

int16_t QtPrinter::Copies() const {
    return pendingCopies_ ? *pendingCopies_ : static_cast<int16_t>(printer_.copyCount());
}

void QtPrinter::SetCopies(int16_t copies) {
    if (copies < 1)
        throw RuntimeError(err::kInvalidPropertyValue);
    if (InDocument())
        pendingCopies_ = copies; // Qt fixes the copy count when the job starts
    else
        printer_.setCopyCount(copies);
}

int16_t QtPrinter::Duplex() const {
    if (pendingDuplex_)
        return *pendingDuplex_;
    return IsBuiltInPdf() ? pdfDuplex_ : FromQtDuplex(printer_.duplex());
}

void QtPrinter::SetDuplex(int16_t duplex) {
    const QPrinter::DuplexMode mode = ToQtDuplex(duplex);
    if (InDocument()) {
        pendingDuplex_ = duplex;
        return;
    }
    printer_.setDuplex(mode);
    pdfDuplex_ = duplex;
}

void QtPrinter::PlayOnPage(const telmo::Picture& op) {
    // One playback path for printer and preview, so both place text by the same ascent.
    if (!StartDrawing())
        return;
    if (pdfPainter_)
        pdfPainter_->Play(op);
    else
        op.Play(painter_);
}

void QtPrinter::DrawText(QPointF topLeft, const FontSpec& font, const QString& text) {
    telmo::Picture op(0, 0);
    op.AddText(topLeft, font, text);
    PlayOnPage(op);
}

void QtPrinter::DrawLine(QPointF from, QPointF to) {
    telmo::Picture op(0, 0);
    op.AddLine(from, to);
    PlayOnPage(op);
}

void QtPrinter::DrawBox(const QRectF& rect) {
    telmo::Picture op(0, 0);
    op.AddBox(rect);
    PlayOnPage(op);
}

void QtPrinter::DrawPicture(const PicturePtr& picture, const QRectF& dest, const QRectF& source) {
    telmo::Picture op(0, 0);
    op.AddPicture(picture, dest, source);
    PlayOnPage(op);
}

} // namespace telmo

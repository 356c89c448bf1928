#include "platform/print/QtPrinter.h"

#include "component/JobState.h"
#include "platform/RuntimeError.h"
#include "platform/pdf/PictureText.h"
#include "platform/print/Spooler.h"
#include "platform/ui/MessageBox.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinterInfo>
#include <QThread>
#include <algorithm>

namespace telmo {
namespace {

constexpr double kTwipsPerInch = 1440.0;

// The built-in PDF printer keeps the quarter-inch unprintable margins of a typical office
// printer, so that a report laid out for it paginates as it would on paper.
constexpr double kPdfMarginPoints = 18.0;

// How long a job handed to the spooler is watched, and how often it is asked after: soon at
// first, since a small job is often done within milliseconds, then less often.
constexpr qint64 kJobWatchMs = 2000;
constexpr unsigned long kJobFirstPollMs = 5, kJobPollMs = 50;

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
}

QtPrinter::~QtPrinter() {
    // A spooler document left open prints, as it would when the host ends. A PDF file left
    // open is not a finished report: it is removed.
    if (job_ && pdfWriter_ && pdfWriter_->Finish())
        job_->Finish();
    DropPdf();
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

std::optional<QString> QtPrinter::QueueProblem() const {
    if (IsBuiltInPdf())
        return std::nullopt;
    const QString name = printer_.printerName();
    const spooler::QueueStatus queue = spooler::QueryQueue(name);
    if (!queue.spoolerAnswers)
        return QStringLiteral("the print spooler does not answer for printer \"%1\"").arg(name);
    if (!queue.exists)
        return QStringLiteral("no printer named \"%1\" is installed").arg(name);
    // The reason an administrator gave is not among the queue's options; lpstat shows it.
    if (!queue.acceptingJobs)
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
        if (!BeginPdf())
            FailPdf(false);
        pagesInDocument_ = 1;
    }
    while (pendingPageBreaks_ > 0) {
        --pendingPageBreaks_;
        ++pagesInDocument_;
        const bool started = NextPdfPage();
        ++pdfPagesWritten_;
        if (!started)
            FailPdf(false);
    }
    return true;
}

QString QtPrinter::JobName() {
    if (const QString title = State().Title1Message.trimmed(); !title.isEmpty())
        return title;
    if (const QString name = Printers::DefaultJobName(); !name.isEmpty())
        return name;
    return QStringLiteral("Report");
}

SpoolJob::Options QtPrinter::SpoolOptions() const {
    SpoolJob::Options options;
    options.emplace_back("copies", QByteArray::number(printer_.copyCount()));
    switch (printer_.duplex()) {
    case QPrinter::DuplexLongSide:
    case QPrinter::DuplexAuto:
        options.emplace_back("sides", "two-sided-long-edge");
        break;
    case QPrinter::DuplexShortSide:
        options.emplace_back("sides", "two-sided-short-edge");
        break;
    case QPrinter::DuplexNone:
        options.emplace_back("sides", "one-sided");
        break;
    }
    // The pages already have the paper's size and the orientation's shape; the paper's name
    // tells the printer which tray to take them from.
    options.emplace_back("media", printer_.pageLayout().pageSize().key().toUtf8());
    return options;
}

void QtPrinter::SetDocumentTitle(const QString& title) {
    documentTitle_ = title;
    printer_.setDocName(title.isEmpty() ? QStringLiteral("TELMOPreview report") : title);
}

bool QtPrinter::BeginPdf() {
    pdfPagesWritten_ = 0;
    QIODevice* sink = nullptr;
    QString title;
    if (IsBuiltInPdf()) {
        pdfFile_ = std::make_unique<OutputFile>(Printers::PdfOutputFile());
        if (!pdfFile_->Open())
            return false;
        sink = &pdfFile_->Device();
        title = documentTitle_.isEmpty() ? QFileInfo(pdfFile_->Target()).completeBaseName() : documentTitle_;
    } else {
        title = JobName();
        job_ = std::make_unique<SpoolJob>(printer_.printerName(), title, SpoolOptions());
        if (!job_->Start())
            return false;
        sink = job_.get();
    }
    pdfWriter_ = std::make_unique<PdfWriter>(*sink, title, printer_.creator());
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
    // A job's pages went to the scheduler as they were written.
    return pdfWriter_->EndPage() && (!pdfFile_ || pdfFile_->Flush()) && BeginPdfPage();
}

void QtPrinter::DropPdf() {
    pdfPainter_.reset();
    pdfWriter_.reset();
    pdfFile_.reset(); // removes what was written; the target keeps whatever it held before
    if (job_)
        job_->Cancel();
    job_.reset();
}

void QtPrinter::FailPdf(bool documentEnds) {
    const int pages = pdfPagesWritten_;
    QString message;
    if (IsBuiltInPdf()) {
        const QString target = pdfFile_ ? pdfFile_->Target() : Printers::PdfOutputFile();
        QString reason = pdfFile_ ? pdfFile_->ErrorString() : QString();
        if (reason.isEmpty())
            reason = QStringLiteral("the PDF writer could not start");
        message =
            QStringLiteral("cannot write \"%1\": %2%3")
                .arg(target, reason,
                     pages > 0
                         ? QStringLiteral(" while page %1 was written; the report was not saved").arg(pages)
                         : QStringLiteral("; nothing was written"));
    } else {
        // The queue's state says more than the broken connection: a scheduler gone, a queue
        // removed or refusing jobs. Failing that, the spooler's own answer.
        const QString reason = job_ ? job_->errorString() : QString();
        const QString when = pages > 0 ? QStringLiteral(" while page %1 of the report was sent").arg(pages)
                                       : QStringLiteral(" when the report was to be sent");
        if (const std::optional<QString> problem = QueueProblem())
            message = *problem + when;
        else
            message = QStringLiteral("printer \"%1\" did not take the report%2: %3")
                          .arg(printer_.printerName(), when, reason);
        message += QStringLiteral("; nothing was printed");
    }
    DropPdf();
    // The rest of a document still being drawn is dropped until its EndDoc.
    refused_ = !documentEnds;
    pendingPageBreaks_ = 0;
    throw PrinterError(message);
}

void QtPrinter::NewPage() {
    ++pendingPageBreaks_;
}

void QtPrinter::CancelDoc() {
    if (!pdfWriter_) {
        EndDoc();
        return;
    }
    DropPdf();
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
        ok = NextPdfPage();
        pdfPagesWritten_ += ok;
    }
    pendingPageBreaks_ = 0;
    if (ok) {
        ++pdfPagesWritten_; // the last page is written when the document ends
        ok = pdfWriter_->Finish() && (pdfFile_ ? pdfFile_->Commit() : job_->Finish());
    }
    ApplyJobOptions();
    if (!ok)
        FailPdf(true);
    pdfPainter_.reset();
    pdfWriter_.reset();
    const int pages = pagesInDocument_;
    const QString pagesText = QStringLiteral("%1 page%2").arg(pages).arg(pages == 1 ? "" : "s");
    if (pdfFile_) {
        const QString target = pdfFile_->Target();
        pdfFile_.reset();
        // A file the user did not name may be anywhere: where it went is told.
        if (Printers::TellsSavedFile())
            MessageBox::Show(pages == 1
                                 ? QStringLiteral("The report's page was saved to %1.").arg(target)
                                 : QStringLiteral("The report's %1 were saved to %2.").arg(pagesText, target),
                             QStringLiteral("TELMO Preview"), MessageBox::kInformation);
        return;
    }
    const int jobId = job_->Id();
    job_.reset();
    if (const std::optional<QString> fate = JobProblem(jobId, pagesText))
        throw PrinterError(*fate);
}

std::optional<QString> QtPrinter::JobProblem(int jobId, const QString& pagesText) const {
    // The spooler gets a moment to start the job, so that a backend that fails at once is told;
    // a job still printing after it is taken to print, as the component cannot wait for paper.
    // Only this job is watched: others' jobs on the same queue are none of this run's business.
    const QString name = printer_.printerName();
    const QString jobName = QStringLiteral("job %1-%2").arg(name).arg(jobId);
    QElapsedTimer waited;
    waited.start();
    for (unsigned long pause = kJobFirstPollMs;; pause = std::min(pause * 2, kJobPollMs)) {
        const spooler::JobStatus job = spooler::QueryJob(name, jobId);
        const bool timeUp = waited.elapsed() >= kJobWatchMs;
        switch (job.fate) {
        case spooler::JobFate::Completed:
            return std::nullopt;
        case spooler::JobFate::Aborted:
        case spooler::JobFate::Cancelled:
        case spooler::JobFate::Stopped:
            return QStringLiteral("printer \"%1\" did not print the report's %2: the spooler %3 %4 (%5)")
                .arg(name, pagesText,
                     job.fate == spooler::JobFate::Stopped     ? QStringLiteral("stopped")
                     : job.fate == spooler::JobFate::Cancelled ? QStringLiteral("cancelled")
                                                               : QStringLiteral("aborted"),
                     jobName,
                     job.message.isEmpty()
                         ? QStringLiteral("lpstat -l -W completed -o %1 tells why").arg(name)
                         : job.message);
        case spooler::JobFate::Held:
            return QStringLiteral("printer \"%1\" holds %2 (the report's %3); it prints when released")
                .arg(name, jobName, pagesText);
        case spooler::JobFate::Unknown:
            // Gone from the spooler's lists: removed with its queue, or the spooler itself is gone.
            if (timeUp) {
                const std::optional<QString> problem = QueueProblem();
                return QStringLiteral("%1; the spooler no longer knows %2 (the report's %3)")
                    .arg(problem ? *problem : QStringLiteral("printer \"%1\" lost the report").arg(name),
                         jobName, pagesText);
            }
            break;
        default:
            if (spooler::QueryQueue(name).stopped)
                return QStringLiteral("printer \"%1\" is stopped: %2 (the report's %3) waits in its queue "
                                      "until the printer is enabled")
                    .arg(name, jobName, pagesText);
            if (timeUp)
                return std::nullopt;
        }
        QThread::msleep(pause);
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
        pendingCopies_ = copies; // a job's copies are fixed when it is created
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
    pdfPainter_->Play(op);
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

#pragma once

#include "platform/pdf/OutputFile.h"
#include "platform/pdf/PdfPainter.h"
#include "platform/pdf/PdfWriter.h"
#include "platform/print/Printer.h"
#include "platform/print/SpoolJob.h"

#include <QFontMetricsF>
#include <QPrinter>
#include <memory>
#include <optional>

namespace telmo {

// The platform printer: a spooler queue, or the built-in PDF printer that writes
// Printers::PdfOutputFile(). Coordinates are twips from the top-left corner of the
// printable area; text metrics are the real metrics of the substituted font.
//
// Documents are implicit, as the report expects: the first drawing operation after
// construction or after EndDoc starts a document, NewPage only marks a page break that
// the next drawing operation carries out, and EndDoc ends the document. So NewPage
// followed by EndDoc leaves no blank last page, while NewPage twice in a row does leave
// one blank page between (a page that was ended exists even when nothing was drawn on it).
// EndDoc with nothing drawn since the last document produces no document at all: nothing
// reaches the spooler and no PDF file is written.
//
// Every document is written by the project's own PDF writer, whatever the destination. For
// the built-in PDF printer the file appears only when its document ended well: pages are
// written to a temporary file beside it that EndDoc renames into place. For a spooler queue
// the document is a job created when it starts and sent to the scheduler as its pages are
// written; EndDoc closes it so that it prints, and CancelDoc withdraws it. A write that fails
// (a full disk, a device that refuses data, a scheduler gone) is reported once, naming the
// file or the queue; the rest of that document is dropped and its temporary file removed or its
// job cancelled. When the printer goes with a document open (the host ending mid-run), its file
// is dropped as unfinished, while its job is ended and prints what was drawn.
//
// Settings may change between documents. While a document is open, orientation and paper
// size take effect from the next page on; copies and duplex belong to the job and are
// applied to the next document (the getters report the new value at once).
class QtPrinter : public Printer {
public:
    // The named spooler queue, or the built-in PDF printer for Printers::BuiltInPdfName().
    // An unknown queue raises error 482 (Qt would silently fall back to the default queue).
    // Whether the queue accepts jobs is asked at the start of each document (CheckReady).
    explicit QtPrinter(const QString& deviceName);
    ~QtPrinter() override; // ends an open spooler document, which then prints; drops an open file

    QtPrinter(const QtPrinter&) = delete;
    QtPrinter& operator=(const QtPrinter&) = delete;

    // The Qt printer underneath, for the print dialog. Change its settings only between documents.
    QPrinter& Native() { return printer_; }
    bool IsBuiltInPdf() const { return printer_.outputFormat() == QPrinter::PdfFormat; }
    // True while a document is open (something was drawn since the last EndDoc), also one
    // the printer refused: it stays open, drawing nothing, until EndDoc.
    bool InDocument() const override { return pdfWriter_ || refused_; }
    bool HoldsPages() const override { return pdfWriter_ != nullptr; }
    // A queue that has gone or refuses jobs is told before anything is drawn.
    void CheckReady() override;

    float ScaleWidth() const override;
    float ScaleHeight() const override;
    float TextWidth(const QString& text) override;
    float TextHeight(const QString& text) override;

    float Width() const override;
    float Height() const override;
    void SetDocumentTitle(const QString& title) override;
    void NewPage() override;
    void EndDoc() override;
    void CancelDoc() override;

    QString DeviceName() const override;
    int16_t Orientation() const override;
    void SetOrientation(int16_t orientation) override;
    // Windows paper codes as Qt maps them (1 Letter, 5 Legal, 8 A3, 9 A4, 11 A5, ...).
    // A code Qt does not know, or a size the printer refuses, raises error 380 and keeps the paper.
    int16_t PaperSize() const override;
    void SetPaperSize(int16_t paperCode) override;
    int16_t Copies() const override;
    void SetCopies(int16_t copies) override;
    int16_t Duplex() const override;
    void SetDuplex(int16_t duplex) override;

protected:
    void DrawText(QPointF topLeft, const FontSpec& font, const QString& text) override;
    void DrawLine(QPointF from, QPointF to) override;
    void DrawBox(const QRectF& rect) override;
    void DrawPicture(const PicturePtr& picture, const QRectF& dest, const QRectF& source) override;

private:
    QString documentTitle_;
    // Starts the document or carries out pending page breaks; false while the spooler refuses
    // the document (nothing is drawn).
    bool StartDrawing();
    // Draws one operation on the page; nothing while the spooler refuses the document.
    void PlayOnPage(const telmo::Picture& op);
    // Why a document started or ended now would not reach the spooler; nothing when it would.
    std::optional<QString> QueueProblem() const;
    // What keeps the job just handed to the spooler from printing, as far as the spooler says
    // within a bounded wait; nothing when it printed or is printing.
    std::optional<QString> JobProblem(int jobId, const QString& pagesText) const;
    void ApplyJobOptions();
    // The job's name in the queue: title 1, else Printers::DefaultJobName(), else "Report".
    static QString JobName();
    // Copies, duplex and paper as the spooler takes them.
    SpoolJob::Options SpoolOptions() const;
    // Begins the document on a new output file or a new spooler job.
    bool BeginPdf();
    bool BeginPdfPage();
    bool NextPdfPage();
    // Drops the document being written: its temporary file is removed, its job cancelled.
    void DropPdf();
    // Throws the error of a failed write after dropping the document; unless the document
    // ends here, the rest of it is dropped until EndDoc.
    [[noreturn]] void FailPdf(bool documentEnds);
    const QFontMetricsF& Metrics();
    double TwipsPerDevicePixel() const;

    // The settings the print dialog exchanges, and the queue's paper and printable area.
    QPrinter printer_;
    // Where the document goes: the built-in printer's file, or a spooler job.
    std::unique_ptr<OutputFile> pdfFile_;
    std::unique_ptr<SpoolJob> job_;
    std::unique_ptr<PdfWriter> pdfWriter_;
    std::unique_ptr<PdfPainter> pdfPainter_;
    int pdfPagesWritten_ = 0;
    int pendingPageBreaks_ = 0;
    int pagesInDocument_ = 0;
    // The spooler refused the document being drawn, or its PDF file could not be written;
    // said once, the rest of it is dropped.
    bool refused_ = false;
    std::optional<int16_t> pendingCopies_;
    std::optional<int16_t> pendingDuplex_;
    // The built-in printer has no duplex; the value the dialog exchanged is kept here.
    int16_t pdfDuplex_ = kSimplex;
    std::optional<FontSpec> metricsFont_;
    std::optional<QFontMetricsF> metrics_;
};

} // namespace telmo

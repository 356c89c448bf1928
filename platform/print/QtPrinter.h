#pragma once

#include "platform/pdf/OutputFile.h"
#include "platform/pdf/PdfPainter.h"
#include "platform/pdf/PdfWriter.h"
#include "platform/print/Printer.h"

#include <QFontMetricsF>
#include <QPainter>
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
// The built-in PDF printer's file appears only when its document ended well: pages are
// written to a temporary file beside it that EndDoc renames into place. A write that fails
// (a full disk, a device that refuses data) is reported once, naming the file; the rest of
// that document is dropped and its temporary file removed, as is the file of a document still
// open when the printer goes (the host ending mid-run).
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
    ~QtPrinter() override; // ends an open spooler document, which then prints

    QtPrinter(const QtPrinter&) = delete;
    QtPrinter& operator=(const QtPrinter&) = delete;

    // The Qt printer underneath, for the print dialog. Change its settings only between documents.
    QPrinter& Native() { return printer_; }
    bool IsBuiltInPdf() const { return printer_.outputFormat() == QPrinter::PdfFormat; }
    // True while a document is open (something was drawn since the last EndDoc), also one
    // the printer refused: it stays open, drawing nothing, until EndDoc.
    bool InDocument() const override { return painter_.isActive() || pdfWriter_ || refused_; }
    bool HoldsPages() const override { return painter_.isActive() || pdfWriter_; }
    // Qt hides both cases: it prints an unknown queue name to the default queue instead,
    // and "prints" to a queue that refuses jobs without a word. So the queue is asked first.
    void CheckReady() override;

    float ScaleWidth() const override;
    float ScaleHeight() const override;
    float TextWidth(const QString& text) override;
    float TextHeight(const QString& text) override;

    float Width() const override;
    float Height() const override;
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
    // Starts the document or carries out pending page breaks; false while the spooler refuses
    // the document (nothing is drawn).
    bool StartDrawing();
    // Draws one operation on the page; nothing while the spooler refuses the document.
    void PlayOnPage(const telmo::Picture& op);
    void SetTwipsTransform();
    // Why a document started or ended now would not reach the spooler; nothing when it would.
    std::optional<QString> QueueProblem() const;
    // What keeps the job just handed to the spooler (newer than jobBefore) from printing, as far
    // as the spooler says within a bounded wait; nothing when it printed or is printing.
    std::optional<QString> JobProblem(int jobBefore, const QString& pagesText) const;
    void ApplyJobOptions();
    // The built-in PDF printer's document: begins it on a new output file.
    bool BeginPdf();
    bool BeginPdfPage();
    bool NextPdfPage();
    // Throws the error of a failed PDF write after dropping the document; unless the document
    // ends here, the rest of it is dropped until EndDoc.
    [[noreturn]] void FailPdf(bool documentEnds);
    const QFontMetricsF& Metrics();
    double TwipsPerDevicePixel() const;

    QPrinter printer_;
    // The built-in PDF printer writes its documents itself, a page at a time, so that write
    // errors on the file are seen; printer_ keeps the settings the print dialog exchanges.
    std::unique_ptr<OutputFile> pdfFile_;
    std::unique_ptr<PdfWriter> pdfWriter_;
    std::unique_ptr<PdfPainter> pdfPainter_;
    int pdfPagesWritten_ = 0;
    QPainter painter_;
    int pendingPageBreaks_ = 0;
    int pagesInDocument_ = 0;
    // The spooler refused the document being drawn, or its PDF file could not be written;
    // said once, the rest of it is dropped.
    bool refused_ = false;
    std::optional<int16_t> pendingCopies_;
    std::optional<int16_t> pendingDuplex_;
    // The PDF engine has no duplex; the value the dialog exchanged is kept here.
    int16_t pdfDuplex_ = kSimplex;
    std::optional<FontSpec> metricsFont_;
    std::optional<QFontMetricsF> metrics_;
};

} // namespace telmo

#pragma once

#include <QSizeF>
#include <QString>
#include <QStringList>
#include <vector>

namespace telmo::test {

// A word as pdftotext -bbox reports it: points from the page's top-left corner; page counts from 1.
struct PdfWord {
    int page = 0;
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

struct PdfDoc {
    // Number of pages (pdfinfo); -1 when the file could not be read, with error saying why.
    int pages = -1;
    std::vector<PdfWord> words;
    // Size of the first page in points, and of every page (index 0 is page 1).
    double pageWidthPt = 0, pageHeightPt = 0;
    std::vector<QSizeF> pageSizesPt;
    // Plain text of every page (pdftotext without layout), index 0 is page 1.
    QStringList pageTexts;
    // The document's Producer and Title as pdfinfo reads them.
    QString producer, title;
    QString error;

    // The words of one page, in reading order.
    std::vector<PdfWord> WordsOn(int page) const;
    // The first word with exactly this text (on the given page, or on any page when 0); nullptr if none.
    const PdfWord* Find(const QString& text, int page = 0) const;
};

// Reads a PDF with pdfinfo and pdftotext after qpdf checked it; a fault fails the test, pages == -1.
PdfDoc ReadPdf(const QString& path);

// Every page's text by MuPDF (mutool draw -F txt) or pdftotext -raw (order written), form-feed ended.
QString MuPdfText(const QString& path);
QString RawPdfText(const QString& path);

} // namespace telmo::test

#pragma once

#include "platform/pdf/Deflater.h"
#include "platform/pdf/PdfFont.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QPointF>
#include <QRawFont>
#include <QSizeF>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace telmo {

// Appends a number as PDF content writes it: at most three decimals, no trailing zeros, no
// exponent (PDF has none), then a space.
void AppendPdfNumber(QByteArray& out, double value);
// Appends a 16-bit value as four hexadecimal digits, as in <...> strings and character maps.
void AppendPdfHex4(QByteArray& out, unsigned value);
// Appends a text string: UTF-16 (characters beyond the first plane as surrogate pairs) with
// its byte order mark, in hexadecimal.
void AppendPdfTextString(QByteArray& out, const QString& text);

// Writes a PDF document page by page to a device: each page's content stream is compressed
// and written when the page ends, so only one page is held in memory; fonts, the page tree
// and the cross-reference table follow at the end. Content is drawn in twips, y down, from the
// top-left corner of the page's printable area (PdfPainter writes it).
//
// A write that fails is remembered: every later call does nothing and returns false, and
// the device's own error says why.
class PdfWriter {
public:
    PdfWriter(QIODevice& out, const QString& title, const QString& creator);

    // Starts a page of this size in points, whose printable area begins at origin (points from the top-left).
    bool BeginPage(QSizeF pageSizePt, QPointF printableOriginPt);
    // Starts a block of the page's content: a whole drawing (a title line, the page's body,
    // its page number) whose top edge is at top (twips). The page's blocks are written top
    // to bottom, those at one height in the order drawn, so that readers which take the text
    // in the order written (pdftotext -raw, MuPDF) read the page as it is laid out: the
    // page number at the foot after the rows above it, although it is drawn first.
    void BeginBlock(double top);
    QByteArray& Content() { return content_; }
    bool EndPage();
    bool InPage() const { return inPage_; }
    // Ends the last page if one is open, then writes fonts, page tree and trailer.
    bool Finish();
    bool Failed() const { return failed_; }

    // The document's font for a face, added on first use.
    PdfFont& FontFor(const QRawFont& face);
    // The resource name of an image drawn on the pages (a colour glyph, say), drawn and
    // written on first use of its key; later uses of the key draw the same image. Empty for
    // an image drawn null (nothing to draw).
    QByteArray ImageFor(const QString& key, const std::function<QImage()>& draw);

    // Object writing, for the fonts.
    int NewObject() { return nextObject_++; }
    bool WriteObject(int number, const QByteArray& body);
    // A stream object, compressed, with extra dictionary entries.
    bool WriteStream(int number, const QByteArray& entries, const QByteArray& data);

private:
    bool Write(const QByteArray& bytes);
    bool WritePacked(int number, const QByteArray& entries, const QByteArray& packed);
    bool WritePendingPage();

    QIODevice& out_;
    bool failed_ = false;
    qint64 written_ = 0;
    int nextObject_ = 1;
    std::vector<qint64> offsets_; // by object number; 0 for none yet
    int catalog_, pageTree_, resources_, info_;
    QString title_, creator_;

    QByteArray content_;
    struct Block {
        double top;
        qsizetype begin; // in content_
    };
    std::vector<Block> blocks_;
    bool inPage_ = false;
    QSizeF pageSize_;
    std::vector<int> pages_;
    struct PendingPage {
        int contents, page;
        QByteArray body; // the page object's
    };
    std::optional<PendingPage> pending_; // its content is in the deflater
    Deflater deflater_;

    struct FontEntry {
        QString key;
        PdfFont font;
        int firstObject;
    };
    std::deque<FontEntry> fonts_; // a deque: painters keep references to fonts
    std::map<QString, QByteArray> imageNames_;
    QByteArray imageEntries_; // of the resource dictionary's /XObject
};

} // namespace telmo

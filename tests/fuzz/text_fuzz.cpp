// Fuzz target: texts of any code points in every kind of face (TrueType, CFF, Type 1, colour bitmaps)
// drawn onto a PDF page, which must hold together as a reader parses it (see CheckStructure).
#include "FuzzApp.h"
#include "platform/pdf/PdfPainter.h"
#include "platform/pdf/PdfWriter.h"
#include "platform/ui/Picture.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QtEndian>
#include <cstddef>
#include <cstdint>

using namespace telmo;

namespace {

// Three bytes a code point (modulo 0x110000: surrogates and unassigned ones come too); a zero code
// point ends a text, whose first byte picks its face and size.
std::vector<std::pair<FontSpec, QString>> Texts(const uint8_t* data, size_t size) {
    static const char* const faces[] = {"Arial",           "Times New Roman",  "Noto Sans CJK SC",
                                        "Nimbus Sans",     "Noto Color Emoji", "DejaVu Sans Mono",
                                        "Noto Sans Tamil", "Symbola"};
    std::vector<std::pair<FontSpec, QString>> texts;
    size_t at = 0;
    while (at < size && texts.size() < 16) {
        const uint8_t pick = data[at++];
        FontSpec spec{
            .name = faces[pick % 8], .sizePt = float(6 + pick / 8 % 16), .bold = (pick & 0x80) != 0};
        QString text;
        while (at + 3 <= size) {
            const char32_t u = char32_t(data[at] << 16 | data[at + 1] << 8 | data[at + 2]) % 0x110000;
            at += 3;
            if (u == 0)
                break;
            if (QChar::requiresSurrogates(u))
                text.append(QChar(QChar::highSurrogate(u))).append(QChar(QChar::lowSurrogate(u)));
            else
                text.append(QChar(char16_t(u)));
        }
        texts.emplace_back(spec, text);
    }
    return texts;
}

// The document's structure, as a reader parses it before it draws anything.
void CheckStructure(const QByteArray& pdf) {
    if (!pdf.startsWith("%PDF-1.") || !pdf.endsWith("%%EOF\n"))
        fuzz::Fail("no PDF header or end");
    const qsizetype startxref = pdf.lastIndexOf("startxref\n");
    const qsizetype xref = pdf.mid(startxref + 10).split('\n').value(0).toLongLong();
    if (startxref < 0 || !pdf.mid(xref).startsWith("xref\n0 "))
        fuzz::Fail("startxref does not point at the table");
    const QList<QByteArray> table = pdf.mid(xref).split('\n');
    const int count = table.value(1).mid(2).toInt();
    for (int n = 1; n < count; ++n) {
        const QByteArray entry = table.value(2 + n);
        if (entry.endsWith(" f "))
            continue;
        if (!pdf.mid(entry.left(10).toLongLong()).startsWith(QByteArray::number(n) + " 0 obj\n"))
            fuzz::Fail("an object is not where the table says");
    }
    static const QRegularExpression stream(QStringLiteral("/Length (\\d+) ([^\\n]*)>>\\nstream\\n"));
    const QString latin = QString::fromLatin1(pdf);
    int streams = 0;
    for (auto it = stream.globalMatch(latin); it.hasNext(); ++streams) {
        const QRegularExpressionMatch m = it.next();
        const qsizetype length = m.captured(1).toLongLong(), begin = m.capturedEnd();
        if (pdf.mid(begin + length, 10) != "\nendstream")
            fuzz::Fail("a stream is not as long as its /Length");
        // qUncompress wants the inflated length first; a guess will do, it grows as needed.
        QByteArray packed(4, '\0');
        qToBigEndian(quint32(length) * 8 + 64, packed.data());
        packed += pdf.mid(begin, length);
        const QByteArray data = qUncompress(packed);
        if (data.isEmpty())
            fuzz::Fail("a stream does not inflate");
        if (m.captured(2).isEmpty()) { // a page's content
            if (data.count("BT\n") + data.count("BT ") != data.count("ET\n"))
                fuzz::Fail("text objects not closed");
            if (data.count(" BDC") != data.count("EMC\n"))
                fuzz::Fail("marked content not closed");
        }
    }
    if (streams == 0)
        fuzz::Fail("no page content");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartOffscreenApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Picture picture(11000, 15000);
    double y = 0;
    for (const auto& [spec, text] : Texts(data, size)) {
        picture.AddText(QPointF(100, y), spec, text);
        picture.AddBox(QRectF(50, y, 5000, 400));
        y += 500;
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    PdfWriter writer(buffer, QStringLiteral("fuzz"), QString());
    writer.BeginPage(QSizeF(595, 842), QPointF(36, 36));
    PdfPainter(writer).Play(picture);
    if (!writer.Finish())
        fuzz::Fail("the PDF could not be written");
    CheckStructure(buffer.data());
    return 0;
}

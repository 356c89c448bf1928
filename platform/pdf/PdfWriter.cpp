#include "platform/pdf/PdfWriter.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QLocale>
#include <QPainterPath>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace telmo {
namespace {

QByteArray Number(double value) {
    QByteArray text;
    AppendPdfNumber(text, value);
    text.chop(1);
    return text;
}

QByteArray TextString(const QString& text) {
    QByteArray out;
    AppendPdfTextString(out, text);
    return out;
}

} // namespace

void AppendPdfNumber(QByteArray& out, double value) {
    // Three decimals of a twip are far below any device's resolution.
    char buffer[32];
    const long long thousandths = std::llround(value * 1000.0);
    const long long whole = thousandths / 1000;
    int fraction = int(std::llabs(thousandths % 1000));
    char* end = buffer;
    if (thousandths < 0 && whole == 0)
        *end++ = '-';
    end = std::to_chars(end, buffer + sizeof buffer, whole).ptr;
    if (fraction != 0) {
        int digits = 3;
        while (fraction % 10 == 0)
            fraction /= 10, --digits;
        *end++ = '.';
        for (int d = digits - 1; d >= 0; --d) {
            end[d] = char('0' + fraction % 10);
            fraction /= 10;
        }
        end += digits;
    }
    *end++ = ' ';
    out.append(buffer, end - buffer);
}

void AppendPdfHex4(QByteArray& out, unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    const char chars[4] = {digits[(value >> 12) & 15], digits[(value >> 8) & 15], digits[(value >> 4) & 15],
                           digits[value & 15]};
    out.append(chars, 4);
}

void AppendPdfTextString(QByteArray& out, const QString& text) {
    out.append("<FEFF");
    for (const QChar ch : text)
        AppendPdfHex4(out, ch.unicode());
    out.append('>');
}

PdfWriter::PdfWriter(QIODevice& out, const QString& title, const QString& creator)
    : out_(out), title_(title), creator_(creator.isEmpty() ? QStringLiteral("TELMOPreview") : creator) {
    catalog_ = NewObject();
    pageTree_ = NewObject();
    resources_ = NewObject();
    info_ = NewObject();
    // The binary comment marks the file as binary for tools that guess.
    // 1.6 for CFF faces embedded as OpenType.
    Write("%PDF-1.6\n%\xE2\xE3\xCF\xD3\n");
}

bool PdfWriter::Write(const QByteArray& bytes) {
    if (failed_)
        return false;
    const qint64 n = out_.write(bytes);
    if (n != bytes.size()) {
        failed_ = true;
        return false;
    }
    written_ += n;
    return true;
}

bool PdfWriter::WriteObject(int number, const QByteArray& body) {
    if (failed_)
        return false;
    if (offsets_.size() <= size_t(number))
        offsets_.resize(number + 1, 0);
    offsets_[number] = written_;
    return Write(QByteArray::number(number) + " 0 obj\n" + body + "\nendobj\n");
}

bool PdfWriter::WriteStream(int number, const QByteArray& entries, const QByteArray& data) {
    return WritePacked(number, entries, Deflater::Deflate(data));
}

bool PdfWriter::WritePacked(int number, const QByteArray& entries, const QByteArray& packed) {
    return WriteObject(number, "<< /Length " + QByteArray::number(packed.size()) + " /Filter /FlateDecode " +
                                   entries + " >>\nstream\n" + packed + "\nendstream");
}

bool PdfWriter::BeginPage(QSizeF pageSizePt, QPointF printableOriginPt) {
    if (inPage_ && !EndPage())
        return false;
    inPage_ = true;
    pageSize_ = pageSizePt;
    content_.resize(0);
    // Twips from the printable area's top-left corner, y down. Lines are 15 twips wide, a
    // pixel of a 96 dpi screen as the preview draws them: a width of 0 (the device's
    // thinnest) is drawn one pixel wide by some readers and a faint quarter pixel by others.
    content_.append("0.05 0 0 -0.05 " + Number(printableOriginPt.x()) + ' ' +
                    Number(pageSizePt.height() - printableOriginPt.y()) + " cm 15 w 2 J 2 j\n");
    return !failed_;
}

void PdfWriter::BeginBlock(double top) {
    if (inPage_)
        blocks_.push_back({top, content_.size()});
}

bool PdfWriter::EndPage() {
    if (!inPage_)
        return !failed_;
    inPage_ = false;
    const int contents = NewObject();
    const int page = NewObject();
    pages_.push_back(page);
    QByteArray ordered;
    const auto byTop = [](const Block& a, const Block& b) { return a.top < b.top; };
    if (!std::is_sorted(blocks_.begin(), blocks_.end(), byTop)) {
        ordered = content_.first(blocks_.front().begin);
        std::vector<std::pair<Block, qsizetype>> spans; // a block and its end
        for (size_t b = 0; b < blocks_.size(); ++b)
            spans.emplace_back(blocks_[b], b + 1 < blocks_.size() ? blocks_[b + 1].begin : content_.size());
        std::stable_sort(spans.begin(), spans.end(),
                         [&](const auto& a, const auto& b) { return byTop(a.first, b.first); });
        for (const auto& [block, end] : spans)
            ordered.append(QByteArrayView(content_).sliced(block.begin, end - block.begin));
    }
    blocks_.clear();
    // The page is packed while the next one is drawn, and written when that one ends.
    if (!WritePendingPage())
        return false;
    deflater_.Start(ordered.isEmpty() ? content_ : ordered);
    pending_ = PendingPage{contents, page,
                           "<< /Type /Page /Parent " + QByteArray::number(pageTree_) +
                               " 0 R /MediaBox [0 0 " + Number(pageSize_.width()) + ' ' +
                               Number(pageSize_.height()) + "] /Resources " + QByteArray::number(resources_) +
                               " 0 R /Contents " + QByteArray::number(contents) + " 0 R >>"};
    content_.clear();
    return !failed_;
}

bool PdfWriter::WritePendingPage() {
    if (!pending_)
        return !failed_;
    const PendingPage page = std::move(*pending_);
    pending_.reset();
    return WritePacked(page.contents, QByteArray(), deflater_.Take()) && WriteObject(page.page, page.body);
}

QByteArray PdfWriter::ImageFor(const QString& key, const std::function<QImage()>& draw) {
    const auto found = imageNames_.find(key);
    if (found != imageNames_.end())
        return found->second;
    const QImage drawn = draw();
    if (drawn.isNull())
        return imageNames_.emplace(key, QByteArray()).first->second;
    const QByteArray name = "Im" + QByteArray::number(qulonglong(imageNames_.size() + 1));
    const QImage argb = drawn.convertToFormat(QImage::Format_ARGB32);
    QByteArray rgb, alpha;
    rgb.reserve(argb.width() * argb.height() * 3);
    alpha.reserve(argb.width() * argb.height());
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            rgb.append(char(qRed(line[x]))).append(char(qGreen(line[x]))).append(char(qBlue(line[x])));
            alpha.append(char(qAlpha(line[x])));
        }
    }
    const QByteArray size =
        "/Width " + QByteArray::number(argb.width()) + " /Height " + QByteArray::number(argb.height());
    const int mask = NewObject(), object = NewObject();
    WriteStream(mask,
                "/Type /XObject /Subtype /Image " + size + " /ColorSpace /DeviceGray /BitsPerComponent 8",
                alpha);
    WriteStream(object,
                "/Type /XObject /Subtype /Image " + size +
                    " /ColorSpace /DeviceRGB /BitsPerComponent 8 /SMask " + QByteArray::number(mask) + " 0 R",
                rgb);
    imageEntries_.append('/' + name + ' ' + QByteArray::number(object) + " 0 R ");
    imageNames_.emplace(key, name);
    return name;
}

PdfFont& PdfWriter::FontFor(const QRawFont& face) {
    // A face is known by its own tables; the family name is not asked for, since a fallback
    // face Qt found by itself may have none, and asking then crashes. A face without tables
    // (Type 1) by the outlines of a few glyphs. A face Qt could not load is no face.
    QString key;
    if (face.isValid()) {
        QCryptographicHash hash(QCryptographicHash::Md5);
        hash.addData(face.fontTable("name"));
        hash.addData(face.fontTable("head"));
        hash.addData(face.styleName().toUtf8());
        if (face.fontTable("head").isEmpty()) {
            QRawFont sample(face);
            sample.setPixelSize(100);
            for (const quint32 glyph : sample.glyphIndexesForString(QStringLiteral("AgQ&")))
                for (const QPolygonF& outline : sample.pathForGlyph(glyph).toSubpathPolygons())
                    for (const QPointF p : outline)
                        hash.addData(QByteArray::number(p.x(), 'f', 2) + QByteArray::number(p.y(), 'f', 2));
        }
        key = QString::fromLatin1(hash.result().toHex());
    }
    for (FontEntry& entry : fonts_)
        if (entry.key == key)
            return entry.font;
    const int first = nextObject_;
    nextObject_ += PdfFont::kObjectCount;
    fonts_.push_back({key, PdfFont(face, "F" + QByteArray::number(qulonglong(fonts_.size() + 1))), first});
    return fonts_.back().font;
}

bool PdfWriter::Finish() {
    if ((inPage_ && !EndPage()) || !WritePendingPage())
        return false;
    QByteArray fontEntries;
    for (const FontEntry& entry : fonts_) {
        if (entry.font.Embeddable() ? !entry.font.Write(*this, entry.firstObject, fontEntries)
                                    : entry.font.Type3() && !entry.font.Type3()->Write(*this, fontEntries))
            return false;
    }
    QByteArray kids;
    for (const int page : pages_)
        kids.append(QByteArray::number(page)).append(" 0 R ");
    const QByteArray date =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
    const QByteArray images = imageEntries_.isEmpty() ? QByteArray() : "/XObject << " + imageEntries_ + ">> ";
    // The document's identifier: the same for the same content written at the same time.
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(date + title_.toUtf8() + QByteArray::number(written_) + QByteArray::number(pages_.size()));
    const QByteArray id = '<' + hash.result().toHex().toUpper() + '>';
    if (!WriteObject(resources_,
                     "<< /Font << " + fontEntries + ">> " + images + "/ProcSet [/PDF /Text /ImageC] >>") ||
        !WriteObject(pageTree_, "<< /Type /Pages /Count " + QByteArray::number(qulonglong(pages_.size())) +
                                    " /Kids [" + kids + "] >>") ||
        !WriteObject(catalog_, "<< /Type /Catalog /Pages " + QByteArray::number(pageTree_) + " 0 R /Lang " +
                                   TextString(QLocale::system().bcp47Name()) + " >>") ||
        !WriteObject(info_, "<< /Title " + TextString(title_) + " /Creator " + TextString(creator_) +
                                " /Producer (TELMOPreview) /CreationDate (D:" + date + "Z) >>"))
        return false;
    const qint64 xref = written_;
    QByteArray table = "xref\n0 " + QByteArray::number(nextObject_) + "\n0000000000 65535 f \n";
    for (int n = 1; n < nextObject_; ++n) {
        const qint64 at = size_t(n) < offsets_.size() ? offsets_[n] : 0;
        char line[24];
        // An object number handed out but never written (a face not embedded) is free.
        std::snprintf(line, sizeof line, at ? "%010lld 00000 n \n" : "%010lld 65535 f \n", at ? at : 0LL);
        table.append(line, 20);
    }
    table.append("trailer\n<< /Size " + QByteArray::number(nextObject_) + " /Root " +
                 QByteArray::number(catalog_) + " 0 R /Info " + QByteArray::number(info_) + " 0 R /ID [" +
                 id + ' ' + id + "] >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n");
    return Write(table);
}

} // namespace telmo

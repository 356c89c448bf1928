#include "platform/pdf/TrueTypeFont.h"

#include <algorithm>

namespace telmo {
namespace {

quint16 U16(const QByteArray& table, qsizetype at) {
    if (at < 0 || at + 2 > table.size())
        return 0;
    return quint16(quint8(table.at(at)) << 8 | quint8(table.at(at + 1)));
}
qint16 S16(const QByteArray& table, qsizetype at) {
    return static_cast<qint16>(U16(table, at));
}
quint32 U32(const QByteArray& table, qsizetype at) {
    return quint32(U16(table, at)) << 16 | U16(table, at + 2);
}
void PutU16(QByteArray& out, quint16 v) {
    out.append(char(v >> 8)).append(char(v & 0xff));
}
void PutU32(QByteArray& out, quint32 v) {
    PutU16(out, quint16(v >> 16));
    PutU16(out, quint16(v & 0xffff));
}
void SetU32(QByteArray& out, qsizetype at, quint32 v) {
    for (int k = 0; k < 4; ++k)
        out[at + k] = char((v >> (24 - 8 * k)) & 0xff);
}

quint32 Checksum(const QByteArray& data) {
    quint32 sum = 0;
    for (qsizetype i = 0; i < data.size(); i += 4) {
        quint32 word = 0;
        for (int k = 0; k < 4; ++k)
            word = (word << 8) | (i + k < data.size() ? quint8(data[i + k]) : 0);
        sum += word;
    }
    return sum;
}

// Composite glyph flags.
constexpr quint16 kArgsAreWords = 0x0001;
constexpr quint16 kHaveScale = 0x0008;
constexpr quint16 kMoreComponents = 0x0020;
constexpr quint16 kHaveXYScale = 0x0040;
constexpr quint16 kHaveTwoByTwo = 0x0080;

} // namespace

TrueTypeFont::TrueTypeFont(const QRawFont& font) {
    if (!font.isValid())
        return;
    head_ = font.fontTable("head");
    hhea_ = font.fontTable("hhea");
    maxp_ = font.fontTable("maxp");
    hmtx_ = font.fontTable("hmtx");
    loca_ = font.fontTable("loca");
    glyf_ = font.fontTable("glyf");
    cvt_ = font.fontTable("cvt ");
    fpgm_ = font.fontTable("fpgm");
    prep_ = font.fontTable("prep");
    if (head_.size() < 54 || hhea_.size() < 36 || maxp_.size() < 6 || loca_.isEmpty() || glyf_.isEmpty())
        return;
    unitsPerEm_ = U16(head_, 18);
    longOffsets_ = S16(head_, 50) != 0;
    glyphCount_ = U16(maxp_, 4);
    longMetrics_ = U16(hhea_, 34);
    if (unitsPerEm_ == 0 || glyphCount_ == 0 || longMetrics_ == 0 || longMetrics_ > glyphCount_ ||
        hmtx_.size() < 4 * longMetrics_ || loca_.size() < (glyphCount_ + 1) * (longOffsets_ ? 4 : 2))
        return;
    box_ = QRect(QPoint(S16(head_, 36), S16(head_, 38)), QPoint(S16(head_, 40), S16(head_, 42)));
    ascent_ = S16(hhea_, 4);
    descent_ = S16(hhea_, 6);
    postScriptName_ = ReadPostScriptName(font);
    valid_ = true;
}

QString TrueTypeFont::ReadPostScriptName(const QRawFont& font) const {
    // Name 6 in the Windows (UTF-16) or Macintosh (Roman) records; else family and style.
    const QByteArray name = font.fontTable("name");
    const int count = U16(name, 2);
    const int strings = U16(name, 4);
    for (int i = 0; i < count; ++i) {
        const qsizetype record = 6 + 12 * i;
        if (U16(name, record + 6) != 6)
            continue;
        const int platform = U16(name, record);
        const qsizetype length = U16(name, record + 8);
        const qsizetype at = strings + U16(name, record + 10);
        if (at + length > name.size())
            continue;
        QString text;
        if (platform == 3)
            for (qsizetype k = 0; k + 1 < length; k += 2)
                text.append(QChar(U16(name, at + k)));
        else if (platform == 1)
            text = QString::fromLatin1(name.constData() + at, length);
        if (!text.isEmpty())
            return text;
    }
    return font.familyName() + QLatin1Char('-') + font.styleName();
}

int TrueTypeFont::Advance(quint32 glyph) const {
    const int index = std::min<int>(glyph, longMetrics_ - 1);
    return U16(hmtx_, 4 * index);
}

QByteArray TrueTypeFont::GlyphData(quint32 glyph) const {
    if (glyph >= quint32(glyphCount_))
        return {};
    const quint32 from = longOffsets_ ? U32(loca_, 4 * glyph) : 2u * U16(loca_, 2 * glyph);
    const quint32 to = longOffsets_ ? U32(loca_, 4 * glyph + 4) : 2u * U16(loca_, 2 * glyph + 2);
    if (to <= from || to > quint32(glyf_.size()))
        return {};
    return glyf_.mid(from, to - from);
}

QByteArray TrueTypeFont::Subset(std::vector<bool> used) const {
    used.resize(glyphCount_, false);
    used[0] = true;
    // Composite glyphs are drawn from other glyphs, which must come along (and theirs).
    std::vector<quint32> pending;
    for (int g = 0; g < glyphCount_; ++g)
        if (used[g])
            pending.push_back(g);
    while (!pending.empty()) {
        const QByteArray data = GlyphData(pending.back());
        pending.pop_back();
        if (data.size() < 10 || S16(data, 0) >= 0)
            continue;
        qsizetype at = 10;
        for (;;) {
            const quint16 flags = U16(data, at);
            const quint16 component = U16(data, at + 2);
            if (at + 4 > data.size())
                break;
            if (component < glyphCount_ && !used[component]) {
                used[component] = true;
                pending.push_back(component);
            }
            at += 4 + ((flags & kArgsAreWords) ? 4 : 2);
            at += (flags & kHaveScale) ? 2 : (flags & kHaveXYScale) ? 4 : (flags & kHaveTwoByTwo) ? 8 : 0;
            if (!(flags & kMoreComponents))
                break;
        }
    }

    QByteArray glyf, loca, hmtx;
    glyf.reserve(4096);
    for (int g = 0; g < glyphCount_; ++g) {
        PutU32(loca, quint32(glyf.size()));
        if (used[g]) {
            glyf.append(GlyphData(g));
            while (glyf.size() % 4)
                glyf.append('\0');
        }
    }
    PutU32(loca, quint32(glyf.size()));
    // Metrics of unused glyphs are zeroed: the document's widths come from the PDF, and zeros compress away.
    hmtx = hmtx_;
    for (int g = 0; g < glyphCount_; ++g) {
        if (used[g])
            continue;
        const qsizetype at = g < longMetrics_ ? 4 * g : 4 * longMetrics_ + 2 * (g - longMetrics_);
        const int width = g < longMetrics_ ? 4 : 2;
        if (at + width <= hmtx.size())
            std::fill(hmtx.begin() + at, hmtx.begin() + at + width, '\0');
    }
    QByteArray head = head_;
    SetU32(head, 8, 0);         // checkSumAdjustment, set below
    head[50] = 0, head[51] = 1; // long loca offsets

    struct Table {
        const char* tag;
        const QByteArray* data;
    };
    std::vector<Table> tables;
    const auto add = [&](const char* tag, const QByteArray& data) {
        if (!data.isEmpty())
            tables.push_back({tag, &data});
    };
    // In tag order, as the table directory requires.
    add("cvt ", cvt_);
    add("fpgm", fpgm_);
    add("glyf", glyf);
    add("head", head);
    add("hhea", hhea_);
    add("hmtx", hmtx);
    add("loca", loca);
    add("maxp", maxp_);
    add("prep", prep_);

    const int count = int(tables.size());
    int power = 1, log2 = 0;
    while (power * 2 <= count)
        power *= 2, ++log2;
    QByteArray out;
    PutU32(out, 0x00010000);
    PutU16(out, quint16(count));
    PutU16(out, quint16(power * 16));
    PutU16(out, quint16(log2));
    PutU16(out, quint16(count * 16 - power * 16));
    quint32 offset = 12 + 16 * count;
    for (const Table& t : tables) {
        out.append(t.tag, 4);
        PutU32(out, Checksum(*t.data));
        PutU32(out, offset);
        PutU32(out, quint32(t.data->size()));
        offset += (t.data->size() + 3) & ~3;
    }
    qsizetype headAt = 0;
    for (const Table& t : tables) {
        if (t.data == &head)
            headAt = out.size();
        out.append(*t.data);
        while (out.size() % 4)
            out.append('\0');
    }
    SetU32(out, headAt + 8, 0xB1B0AFBAu - Checksum(out));
    return out;
}

} // namespace telmo

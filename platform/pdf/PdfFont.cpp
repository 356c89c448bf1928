#include "platform/pdf/PdfFont.h"

#include "platform/pdf/PdfWriter.h"

#include <QCryptographicHash>

namespace telmo {
namespace {

constexpr quint32 kUnknown = 0xffffffffu;

// PDF names may not hold spaces or delimiters.
QByteArray NameOf(const QString& text) {
    QByteArray name;
    for (const QChar ch : text)
        if (ch.unicode() > 32 && ch.unicode() < 127 &&
            !QByteArrayView("()<>[]{}/%#").contains(char(ch.unicode())))
            name.append(char(ch.unicode()));
    return name.isEmpty() ? QByteArray("Font") : name;
}

} // namespace

PdfFont::PdfFont(const QRawFont& face, QByteArray resourceName)
    : face_(face), ttf_(face), resourceName_(std::move(resourceName)), glyphOfCharacter_(0x10000, kUnknown) {
    const int glyphs = ttf_.IsValid() ? ttf_.GlyphCount() : 0;
    used_.assign(glyphs, false);
    characterOfGlyph_.assign(glyphs, 0);
}

quint32 PdfFont::GlyphOf(char16_t character) {
    quint32& glyph = glyphOfCharacter_[character];
    if (glyph == kUnknown) {
        const QChar ch(character);
        const QList<quint32> found = face_.glyphIndexesForString(QString(&ch, 1));
        glyph = found.size() == 1 ? found[0] : 0;
    }
    return glyph;
}

void PdfFont::Use(quint32 glyph, char16_t character) {
    if (glyph >= used_.size())
        return;
    used_[glyph] = true;
    if (character != 0 && characterOfGlyph_[glyph] == 0)
        characterOfGlyph_[glyph] = character;
}

void PdfFont::UseShaped(quint32 glyph) {
    if (glyph >= used_.size())
        return;
    if (mappedCharacterOfGlyph_.empty()) {
        // The first character of the Basic Multilingual Plane that maps to each glyph: the
        // letter before its presentation forms, which come later in the plane.
        QString all;
        all.reserve(0x10000);
        for (char32_t u = 0x20; u < 0x10000; ++u)
            if (u < 0xD800 || u > 0xDFFF)
                all.append(QChar(char16_t(u)));
        const QList<quint32> glyphs = face_.glyphIndexesForString(all);
        mappedCharacterOfGlyph_.assign(used_.size(), 0);
        for (qsizetype i = 0; i < glyphs.size() && i < all.size(); ++i)
            if (glyphs[i] != 0 && glyphs[i] < used_.size() && mappedCharacterOfGlyph_[glyphs[i]] == 0)
                mappedCharacterOfGlyph_[glyphs[i]] = all[i].unicode();
    }
    Use(glyph, mappedCharacterOfGlyph_[glyph]);
}

QByteArray PdfFont::SubsetName() const {
    // Six capitals that differ between subsets of one face, as readers expect of a subset's name.
    QCryptographicHash hash(QCryptographicHash::Md5);
    for (size_t g = 0; g < used_.size(); ++g)
        if (used_[g])
            hash.addData(QByteArrayView(reinterpret_cast<const char*>(&g), sizeof g));
    const QByteArray digest = hash.result();
    QByteArray tag;
    for (int i = 0; i < 6; ++i)
        tag.append(char('A' + quint8(digest[i]) % 26));
    return tag + '+' + NameOf(ttf_.PostScriptName());
}

QByteArray PdfFont::Widths() const {
    // Runs of consecutive glyphs share one array: [first [w w w] first [w] ...], 1000 units per em.
    QByteArray out("[");
    const double scale = 1000.0 / ttf_.UnitsPerEm();
    size_t g = 0;
    while (g < used_.size()) {
        if (!used_[g]) {
            ++g;
            continue;
        }
        out.append(QByteArray::number(qulonglong(g))).append(" [");
        for (; g < used_.size() && used_[g]; ++g)
            out.append(QByteArray::number(qRound(ttf_.Advance(quint32(g)) * scale))).append(' ');
        out.append("] ");
    }
    return out + "]";
}

QByteArray PdfFont::ToUnicodeMap() const {
    QByteArray map("/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                   "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                   "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                   "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n");
    std::vector<size_t> mapped;
    for (size_t g = 0; g < characterOfGlyph_.size(); ++g)
        if (characterOfGlyph_[g] != 0)
            mapped.push_back(g);
    for (size_t start = 0; start < mapped.size(); start += 100) {
        const size_t end = std::min(mapped.size(), start + 100);
        map.append(QByteArray::number(qulonglong(end - start))).append(" beginbfchar\n");
        for (size_t i = start; i < end; ++i) {
            map.append('<');
            AppendPdfHex4(map, unsigned(mapped[i]));
            map.append("> <");
            AppendPdfHex4(map, characterOfGlyph_[mapped[i]]);
            map.append(">\n");
        }
        map.append("endbfchar\n");
    }
    map.append("endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n");
    return map;
}

bool PdfFont::Write(PdfWriter& writer, int first) const {
    const int cidFont = first + 1, descriptor = first + 2, file = first + 3, toUnicode = first + 4;
    const QByteArray name = SubsetName();
    const auto ref = [](int object) { return QByteArray::number(object) + " 0 R"; };
    const double scale = 1000.0 / ttf_.UnitsPerEm();
    const auto units = [scale](int v) { return QByteArray::number(qRound(v * scale)); };
    const QRect box = ttf_.BoundingBox();
    const QByteArray fontFile = ttf_.Subset(used_);
    return writer.WriteObject(first, "<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
                                         " /Encoding /Identity-H /DescendantFonts [" + ref(cidFont) +
                                         "] /ToUnicode " + ref(toUnicode) + " >>") &&
           writer.WriteObject(cidFont, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name +
                                           " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) "
                                           "/Supplement 0 >> /FontDescriptor " +
                                           ref(descriptor) + " /CIDToGIDMap /Identity /DW 0 /W " + Widths() +
                                           " >>") &&
           writer.WriteObject(
               descriptor, "<< /Type /FontDescriptor /FontName /" + name + " /Flags 4 /FontBBox [" +
                               units(box.left()) + ' ' + units(box.top()) + ' ' + units(box.right()) + ' ' +
                               units(box.bottom()) + "] /ItalicAngle 0 /Ascent " + units(ttf_.Ascent()) +
                               " /Descent " + units(ttf_.Descent()) + " /CapHeight " + units(ttf_.Ascent()) +
                               " /StemV 80 /FontFile2 " + ref(file) + " >>") &&
           writer.WriteStream(file, "/Length1 " + QByteArray::number(fontFile.size()), fontFile) &&
           writer.WriteStream(toUnicode, QByteArray(), ToUnicodeMap());
}

} // namespace telmo

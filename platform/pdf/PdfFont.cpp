#include "platform/pdf/PdfFont.h"

#include "platform/pdf/PdfWriter.h"

#include <QCryptographicHash>

namespace telmo {
namespace {

constexpr quint32 kUnknown = 0xffffffffu;
// A glyph whose text is more or less than one character.
constexpr char32_t kText = 0xffffffffu;

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
    : face_(face), program_(face), resourceName_(std::move(resourceName)),
      glyphOfCharacter_(0x10000, kUnknown) {
    bitmapOnly_ = !program_.IsValid() && face.isValid() &&
                  (!face.fontTable("CBDT").isEmpty() || !face.fontTable("sbix").isEmpty() ||
                   !face.fontTable("EBDT").isEmpty());
    if (!program_.IsValid() && face.isValid() && !bitmapOnly_)
        type3_ = std::make_unique<Type3Font>(face, resourceName_);
    const int glyphs = program_.IsValid() ? program_.GlyphCount() : 0;
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

int PdfFont::Use(quint32 glyph, char32_t character) {
    if (glyph >= used_.size())
        return 0;
    used_[glyph] = true;
    char32_t& mapped = characterOfGlyph_[glyph];
    if (mapped == 0)
        mapped = character;
    if (mapped == character)
        return 0;
    return Use(glyph, QString::fromUcs4(&character, 1));
}

int PdfFont::Use(quint32 glyph, const QString& text) {
    if (glyph >= used_.size())
        return 0;
    used_[glyph] = true;
    char32_t& mapped = characterOfGlyph_[glyph];
    const bool oneCharacter =
        text.size() == 1 || (text.size() == 2 && text[0].isHighSurrogate() && text[1].isLowSurrogate());
    const char32_t character = oneCharacter ? text.toUcs4().value(0) : kText;
    if (mapped == 0) {
        mapped = character;
        if (character == kText)
            textOfGlyph_[glyph] = text;
        return 0;
    }
    if (mapped == character && (character != kText || textOfGlyph_[glyph] == text))
        return 0;
    for (size_t v = 0; v < variants_.size(); ++v) {
        const auto [at, added] = variants_[v].try_emplace(glyph, text);
        if (added || at->second == text)
            return int(v + 1);
    }
    variants_.emplace_back().emplace(glyph, text);
    return int(variants_.size());
}

QByteArray PdfFont::ResourceName(int variant) const {
    return variant == 0 ? resourceName_ : resourceName_ + 'v' + QByteArray::number(variant);
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
    return tag + '+' + NameOf(program_.PostScriptName());
}

QByteArray PdfFont::Widths() const {
    // Runs of consecutive glyphs share one array: [first [w w w] first [w] ...], 1000 units per em.
    QByteArray out("[");
    const double scale = 1000.0 / program_.UnitsPerEm();
    size_t g = 0;
    while (g < used_.size()) {
        if (!used_[g]) {
            ++g;
            continue;
        }
        out.append(QByteArray::number(qulonglong(g))).append(" [");
        for (; g < used_.size() && used_[g]; ++g)
            out.append(QByteArray::number(qRound(program_.Advance(quint32(g)) * scale))).append(' ');
        out.append("] ");
    }
    return out + "]";
}

QByteArray PdfFont::ToUnicodeMap(int variant) const {
    QByteArray map("/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                   "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                   "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                   "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n");
    std::vector<std::pair<quint32, QString>> mapped;
    if (variant == 0) {
        for (size_t g = 0; g < characterOfGlyph_.size(); ++g) {
            const char32_t u = characterOfGlyph_[g];
            if (u == kText)
                mapped.emplace_back(quint32(g), textOfGlyph_.at(quint32(g)));
            else if (u != 0)
                mapped.emplace_back(quint32(g), QString::fromUcs4(&u, 1));
        }
    } else {
        mapped.assign(variants_[variant - 1].begin(), variants_[variant - 1].end());
        std::sort(mapped.begin(), mapped.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    for (size_t start = 0; start < mapped.size(); start += 100) {
        const size_t end = std::min(mapped.size(), start + 100);
        map.append(QByteArray::number(qulonglong(end - start))).append(" beginbfchar\n");
        for (size_t i = start; i < end; ++i) {
            map.append('<');
            AppendPdfHex4(map, mapped[i].first);
            map.append("> <");
            // UTF-16: characters beyond the first plane as surrogate pairs.
            for (const QChar ch : mapped[i].second)
                AppendPdfHex4(map, ch.unicode());
            map.append(">\n");
        }
        map.append("endbfchar\n");
    }
    map.append("endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n");
    return map;
}

bool PdfFont::Write(PdfWriter& writer, int first, QByteArray& resources) const {
    const int cidFont = first + 1, descriptor = first + 2, file = first + 3, toUnicode = first + 4;
    const QByteArray name = SubsetName();
    const auto ref = [](int object) { return QByteArray::number(object) + " 0 R"; };
    const double scale = 1000.0 / program_.UnitsPerEm();
    const auto units = [scale](int v) { return QByteArray::number(qRound(v * scale)); };
    const QRect box = program_.BoundingBox();
    const QByteArray fontFile = program_.Subset(used_);
    // A CFF face goes in whole as OpenType, where its CIDs are its glyph numbers.
    const bool cff = program_.Kind() == FontProgram::Outlines::Cff;
    const auto type0 = [&](int object, int map) {
        return writer.WriteObject(object, "<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
                                              " /Encoding /Identity-H /DescendantFonts [" + ref(cidFont) +
                                              "] /ToUnicode " + ref(map) + " >>");
    };
    resources.append('/' + resourceName_ + ' ' + ref(first) + ' ');
    for (size_t v = 1; v <= variants_.size(); ++v) {
        const int font = writer.NewObject(), map = writer.NewObject();
        if (!type0(font, map) || !writer.WriteStream(map, QByteArray(), ToUnicodeMap(int(v))))
            return false;
        resources.append('/' + ResourceName(int(v)) + ' ' + ref(font) + ' ');
    }
    return type0(first, toUnicode) &&
           writer.WriteObject(cidFont, "<< /Type /Font /Subtype /" +
                                           QByteArray(cff ? "CIDFontType0" : "CIDFontType2") +
                                           " /BaseFont /" + name +
                                           " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) "
                                           "/Supplement 0 >> /FontDescriptor " +
                                           ref(descriptor) + (cff ? "" : " /CIDToGIDMap /Identity") +
                                           " /DW 0 /W " + Widths() + " >>") &&
           writer.WriteObject(descriptor,
                              "<< /Type /FontDescriptor /FontName /" + name + " /Flags 4 /FontBBox [" +
                                  units(box.left()) + ' ' + units(box.top()) + ' ' + units(box.right()) +
                                  ' ' + units(box.bottom()) + "] /ItalicAngle 0 /Ascent " +
                                  units(program_.Ascent()) + " /Descent " + units(program_.Descent()) +
                                  " /CapHeight " + units(program_.Ascent()) + " /StemV 80 " +
                                  (cff ? "/FontFile3 " : "/FontFile2 ") + ref(file) + " >>") &&
           writer.WriteStream(file,
                              cff ? QByteArray("/Subtype /OpenType")
                                  : "/Length1 " + QByteArray::number(fontFile.size()),
                              fontFile) &&
           writer.WriteStream(toUnicode, QByteArray(), ToUnicodeMap(0));
}

} // namespace telmo

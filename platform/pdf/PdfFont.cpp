#include "platform/pdf/PdfFont.h"

#include "platform/pdf/PdfWriter.h"

#include <QCryptographicHash>
#include <algorithm>

namespace telmo {
namespace {

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
    : face_(face), program_(face), resourceName_(std::move(resourceName)) {
    bitmapOnly_ = !program_.IsValid() && face.isValid() && program_.HasBitmaps();
    if (!program_.IsValid() && face.isValid() && !bitmapOnly_)
        type3_ = std::make_unique<Type3Font>(face, resourceName_);
    const int glyphs = program_.IsValid() ? program_.GlyphCount() : 0;
    used_.assign(glyphs, false);
    characterOfGlyph_.assign(glyphs, 0);
}

quint32 PdfFont::LookUpGlyphOf(char16_t character) {
    if (glyphOfCharacter_.empty())
        glyphOfCharacter_.assign(0x10000, kUnknown);
    quint32& glyph = glyphOfCharacter_[character];
    if (glyph == kUnknown) {
        const QChar ch(character);
        const QList<quint32> found = face_.glyphIndexesForString(QString(&ch, 1));
        glyph = found.size() == 1 ? found[0] : 0;
    }
    return glyph;
}

int PdfFont::UseFirst(quint32 glyph, char32_t character) {
    if (glyph >= used_.size())
        return 0;
    MarkUsed(glyph);
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
    MarkUsed(glyph);
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

void PdfFont::MarkUsed(quint32 glyph) {
    if (!used_[glyph]) {
        used_[glyph] = true;
        usedGlyphs_.push_back(glyph);
    }
}

std::vector<quint32> PdfFont::UsedInOrder() const {
    std::vector<quint32> glyphs = usedGlyphs_;
    std::sort(glyphs.begin(), glyphs.end());
    return glyphs;
}

QByteArray PdfFont::ResourceName(int variant) const {
    return variant == 0 ? resourceName_ : resourceName_ + 'v' + QByteArray::number(variant);
}

QByteArray PdfFont::SubsetName(const std::vector<quint32>& glyphs) const {
    // Six capitals that differ between subsets of one face, as readers expect of a subset's name.
    QCryptographicHash hash(QCryptographicHash::Md5);
    for (const quint32 glyph : glyphs) {
        const size_t g = glyph;
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(&g), sizeof g));
    }
    const QByteArray digest = hash.result();
    QByteArray tag;
    for (int i = 0; i < 6; ++i)
        tag.append(char('A' + quint8(digest[i]) % 26));
    return tag + '+' + NameOf(program_.PostScriptName());
}

QByteArray PdfFont::Widths(const std::vector<quint32>& glyphs) const {
    // Runs of consecutive glyphs share one array: [first [w w w] first [w] ...], 1000 units per em.
    QByteArray out("[");
    const double scale = 1000.0 / program_.UnitsPerEm();
    for (size_t i = 0; i < glyphs.size();) {
        out.append(QByteArray::number(qulonglong(glyphs[i]))).append(" [");
        do
            out.append(QByteArray::number(qRound(program_.Advance(glyphs[i]) * scale))).append(' ');
        while (++i < glyphs.size() && glyphs[i] == glyphs[i - 1] + 1);
        out.append("] ");
    }
    return out + "]";
}

QByteArray PdfFont::ToUnicodeMap(int variant, const std::vector<quint32>& glyphs) const {
    QByteArray map("/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                   "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                   "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                   "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n");
    std::vector<std::pair<quint32, QString>> mapped;
    if (variant == 0) {
        for (const quint32 g : glyphs) {
            const char32_t u = characterOfGlyph_[g];
            if (u == kText)
                mapped.emplace_back(g, textOfGlyph_.at(g));
            else if (u != 0)
                mapped.emplace_back(g, QString::fromUcs4(&u, 1));
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
    const std::vector<quint32> glyphs = UsedInOrder();
    const QByteArray name = SubsetName(glyphs);
    const auto ref = [](int object) { return QByteArray::number(object) + " 0 R"; };
    const double scale = 1000.0 / program_.UnitsPerEm();
    const auto units = [scale](int v) { return QByteArray::number(qRound(v * scale)); };
    const QRect box = program_.BoundingBox();
    const FontSubset subset = program_.Subset(glyphs);
    const QByteArray& fontFile = subset.program;
    // A CFF face goes in as OpenType, where its CIDs are its glyph numbers, or, CID-keyed, as a
    // bare CFF table drawn by CID; a TrueType face's subset numbers its glyphs anew, and a map
    // from the face's numbers comes along.
    const bool cff = program_.Kind() == FontProgram::Outlines::Cff;
    const int glyphMap = cff ? 0 : writer.NewObject();
    const auto type0 = [&](int object, int map) {
        return writer.WriteObject(object, "<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
                                              " /Encoding /Identity-H /DescendantFonts [" + ref(cidFont) +
                                              "] /ToUnicode " + ref(map) + " >>");
    };
    resources.append('/' + resourceName_ + ' ' + ref(first) + ' ');
    for (size_t v = 1; v <= variants_.size(); ++v) {
        const int font = writer.NewObject(), map = writer.NewObject();
        if (!type0(font, map) || !writer.WriteStream(map, QByteArray(), ToUnicodeMap(int(v), glyphs)))
            return false;
        resources.append('/' + ResourceName(int(v)) + ' ' + ref(font) + ' ');
    }
    return type0(first, toUnicode) &&
           writer.WriteObject(cidFont, "<< /Type /Font /Subtype /" +
                                           QByteArray(cff ? "CIDFontType0" : "CIDFontType2") +
                                           " /BaseFont /" + name +
                                           " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) "
                                           "/Supplement 0 >> /FontDescriptor " +
                                           ref(descriptor) + (cff ? "" : " /CIDToGIDMap " + ref(glyphMap)) +
                                           " /DW 0 /W " + Widths(glyphs) + " >>") &&
           writer.WriteObject(descriptor,
                              "<< /Type /FontDescriptor /FontName /" + name + " /Flags 4 /FontBBox [" +
                                  units(box.left()) + ' ' + units(box.top()) + ' ' + units(box.right()) +
                                  ' ' + units(box.bottom()) + "] /ItalicAngle 0 /Ascent " +
                                  units(program_.Ascent()) + " /Descent " + units(program_.Descent()) +
                                  " /CapHeight " + units(program_.Ascent()) + " /StemV 80 " +
                                  (cff ? "/FontFile3 " : "/FontFile2 ") + ref(file) + " >>") &&
           writer.WriteStream(
               file,
               cff ? QByteArray(program_.IsCidKeyed() ? "/Subtype /CIDFontType0C" : "/Subtype /OpenType")
                   : "/Length1 " + QByteArray::number(fontFile.size()),
               fontFile) &&
           (cff || writer.WriteStream(glyphMap, QByteArray(), subset.CidToGidMap())) &&
           writer.WriteStream(toUnicode, QByteArray(), ToUnicodeMap(0, glyphs));
}

} // namespace telmo

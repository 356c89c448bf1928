#include "platform/pdf/Type3Font.h"

#include "platform/pdf/PdfWriter.h"

#include <QPainterPath>
#include <cmath>

namespace telmo {
namespace {

// Glyph space: 1000 units per em, as the widths of every PDF font are given.
constexpr double kUnitsPerEm = 1000;
constexpr int kCodesPerFont = 255; // codes 1 to 255

QByteArray Number(double value) {
    QByteArray text;
    AppendPdfNumber(text, value);
    text.chop(1);
    return text;
}

QByteArray GlyphName(quint32 glyph) {
    return "/g" + QByteArray::number(glyph);
}

} // namespace

Type3Font::Type3Font(const QRawFont& face, QByteArray resourceName)
    : face_(face), resourceName_(std::move(resourceName)) {
    face_.setPixelSize(kUnitsPerEm);
}

QByteArray Type3Font::ResourceName(int font) const {
    return resourceName_ + 't' + QByteArray::number(font + 1);
}

const Type3Font::Glyph& Type3Font::GlyphData(quint32 glyph) {
    const auto found = glyphs_.find(glyph);
    if (found != glyphs_.end())
        return found->second;
    // Qt's outline is y down; glyph space is y up. Tenths of a unit are finer than any printer.
    const QPainterPath path = face_.pathForGlyph(glyph);
    const QRectF box = path.isEmpty() ? QRectF() : path.boundingRect();
    Glyph data{QByteArray(), qRound(face_.advancesForGlyphIndexes({glyph}).value(0).x()),
               QRectF(box.left(), -box.bottom(), box.width(), box.height())};
    QByteArray& out = data.procedure;
    out.append(QByteArray::number(data.width) + " 0 ");
    // The glyph's box (readers may clip to it) in whole units, outwards; QRectF's top is the
    // lower edge here.
    AppendPdfNumber(out, std::floor(data.box.left())), AppendPdfNumber(out, std::floor(data.box.top()));
    AppendPdfNumber(out, std::ceil(data.box.right())), AppendPdfNumber(out, std::ceil(data.box.bottom()));
    out.append("d1\n");
    const auto point = [&out](const QPainterPath::Element& el) {
        AppendPdfNumber(out, std::round(el.x * 10) / 10);
        AppendPdfNumber(out, std::round(-el.y * 10) / 10);
    };
    for (int e = 0; e < path.elementCount(); ++e) {
        const QPainterPath::Element el = path.elementAt(e);
        if (el.isMoveTo()) {
            point(el), out.append("m\n");
        } else if (el.isLineTo()) {
            point(el), out.append("l\n");
        } else if (el.isCurveTo() && e + 2 < path.elementCount()) {
            point(el), point(path.elementAt(e + 1)), point(path.elementAt(e + 2)), out.append("c\n");
            e += 2;
        }
    }
    if (!path.isEmpty())
        out.append(path.fillRule() == Qt::OddEvenFill ? "f*\n" : "f\n");
    return glyphs_.emplace(glyph, std::move(data)).first->second;
}

Type3Font::Code Type3Font::Use(quint32 glyph, const QString& text) {
    const auto [at, added] = codes_.try_emplace({glyph, text});
    if (!added)
        return at->second;
    GlyphData(glyph);
    if (fonts_.empty() || fonts_.back().size() == kCodesPerFont)
        fonts_.emplace_back();
    fonts_.back().emplace_back(glyph, text);
    at->second = Code{int(fonts_.size() - 1), static_cast<unsigned char>(fonts_.back().size())};
    return at->second;
}

bool Type3Font::Write(PdfWriter& writer, QByteArray& resources) const {
    const auto ref = [](int object) { return QByteArray::number(object) + " 0 R"; };
    // Each glyph's outline once, whichever fonts draw it.
    std::map<quint32, int> procedures;
    QRectF box;
    for (const auto& [glyph, data] : glyphs_) {
        const int object = writer.NewObject();
        procedures.emplace(glyph, object);
        box |= data.box;
        if (!writer.WriteStream(object, QByteArray(), data.procedure))
            return false;
    }
    const QByteArray bbox = "[" + Number(std::floor(box.left())) + ' ' + Number(std::floor(box.top())) + ' ' +
                            Number(std::ceil(box.right())) + ' ' + Number(std::ceil(box.bottom())) + "]";
    for (size_t f = 0; f < fonts_.size(); ++f) {
        const std::vector<std::pair<quint32, QString>>& codes = fonts_[f];
        QByteArray names, widths, charProcs;
        std::map<quint32, bool> named;
        QByteArray map("/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                       "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                       "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                       "1 begincodespacerange\n<00> <FF>\nendcodespacerange\n");
        for (size_t start = 0; start < codes.size(); start += 100) {
            const size_t end = std::min(codes.size(), start + 100);
            map.append(QByteArray::number(qulonglong(end - start))).append(" beginbfchar\n");
            for (size_t i = start; i < end; ++i) {
                // UTF-16, characters beyond the first plane as surrogate pairs; a glyph that
                // stands for nothing maps to no text.
                map.append('<' + QByteArray::number(qulonglong(i + 1), 16).rightJustified(2, '0') + "> <");
                for (const QChar ch : codes[i].second)
                    AppendPdfHex4(map, ch.unicode());
                map.append(">\n");
            }
            map.append("endbfchar\n");
        }
        map.append("endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n");
        for (const auto& [glyph, text] : codes) {
            names.append(GlyphName(glyph));
            widths.append(QByteArray::number(glyphs_.at(glyph).width) + ' ');
            if (!named.emplace(glyph, true).second)
                continue;
            charProcs.append(GlyphName(glyph) + ' ' + ref(procedures.at(glyph)) + ' ');
        }
        const int font = writer.NewObject(), toUnicode = writer.NewObject();
        if (!writer.WriteObject(font, "<< /Type /Font /Subtype /Type3 /FontBBox " + bbox +
                                          " /FontMatrix [0.001 0 0 0.001 0 0] /CharProcs << " + charProcs +
                                          ">> /Encoding << /Type /Encoding /Differences [1 " + names +
                                          "] >> /FirstChar 1 /LastChar " +
                                          QByteArray::number(qulonglong(codes.size())) + " /Widths [" +
                                          widths + "] /Resources << /ProcSet [/PDF] >> /ToUnicode " +
                                          ref(toUnicode) + " >>") ||
            !writer.WriteStream(toUnicode, QByteArray(), map))
            return false;
        resources.append('/' + ResourceName(int(f)) + ' ' + ref(font) + ' ');
    }
    return true;
}

} // namespace telmo

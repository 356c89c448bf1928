#include "platform/pdf/FontProgram.h"

#include <algorithm>
#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>

namespace telmo {
namespace {

hb_tag_t Tag(const char* name) {
    return HB_TAG(name[0], name[1], name[2], name[3]);
}

int S16(const char* data, unsigned size, unsigned at) {
    return at + 2 <= size ? qint16(quint16(quint8(data[at]) << 8 | quint8(data[at + 1]))) : 0;
}

quint64 U16(const quint8* data, quint64 at) {
    return quint64(data[at]) << 8 | data[at + 1];
}

// True when a CFF table is CID-keyed: its top DICT opens with the ROS operator (12 30)
// after its three operands. Positions are 64-bit, so that a broken table's offsets cannot
// wrap past the size checks.
bool HasCidKeyedCff(hb_face_t* face) {
    hb_blob_t* blob = hb_face_reference_table(face, HB_TAG('C', 'F', 'F', ' '));
    unsigned size = 0;
    const auto* data = reinterpret_cast<const quint8*>(hb_blob_get_data(blob, &size));
    bool cid = false;
    // The header, then the Name INDEX (count, offset size, offsets, data), then the top DICT
    // INDEX, whose first DICT is read.
    quint64 at = size > 4 ? data[2] : size;
    for (int index = 0; index < 2 && at + 3 <= size; ++index) {
        const quint64 count = U16(data, at), offSize = data[at + 2];
        if (count == 0 || offSize < 1 || offSize > 4)
            break;
        const auto offset = [&](quint64 i) {
            quint64 value = 0, p = at + 3 + i * offSize;
            for (quint64 k = 0; k < offSize && p + k < size; ++k)
                value = value << 8 | data[p + k];
            return value;
        };
        const quint64 dataStart = at + 3 + (count + 1) * offSize - 1;
        if (index == 0) {
            at = dataStart + offset(count);
            continue;
        }
        quint64 p = dataStart + offset(0);
        for (int operand = 0; operand < 3 && p < size; ++operand) {
            const quint8 b = data[p];
            if (b == 30) { // a real: nibbles up to 0xf
                while (++p < size && (data[p] & 0x0f) != 0x0f && (data[p] & 0xf0) != 0xf0) {
                }
                ++p;
            } else {
                p += b == 28 ? 3 : b == 29 ? 5 : b >= 247 && b <= 254 ? 2 : b >= 32 && b <= 246 ? 1 : size;
            }
        }
        cid = p + 2 <= size && data[p] == 12 && data[p + 1] == 30;
    }
    hb_blob_destroy(blob);
    return cid;
}

} // namespace

quint32 FontSubset::GlyphOf(quint32 faceGlyph) const {
    const auto it = std::lower_bound(numbers.begin(), numbers.end(), std::pair(faceGlyph, quint32(0)));
    return it != numbers.end() && it->first == faceGlyph ? it->second : 0;
}

QByteArray FontSubset::CidToGidMap() const {
    QByteArray map(numbers.empty() ? 2 : qsizetype(numbers.back().first + 1) * 2, '\0');
    for (const auto& [face, subset] : numbers) {
        map[qsizetype(face) * 2] = char(subset >> 8);
        map[qsizetype(face) * 2 + 1] = char(subset & 0xff);
    }
    return map;
}

FontProgram::FontProgram(const QRawFont& font) : tables_(FaceTables::Of(font)) {
    if (!font.isValid())
        return;
    hb_face_t* face = tables_->Face();
    hb_font_t* scaled = tables_->Font();
    unitsPerEm_ = int(hb_face_get_upem(face));
    glyphCount_ = int(hb_face_get_glyph_count(face));
    hb_blob_t* head = hb_face_reference_table(face, HB_TAG('h', 'e', 'a', 'd'));
    unsigned size = 0;
    const char* data = hb_blob_get_data(head, &size);
    box_ = QRect(QPoint(S16(data, size, 36), S16(data, size, 38)),
                 QPoint(S16(data, size, 40), S16(data, size, 42)));
    hb_blob_destroy(head);
    hb_position_t position = 0;
    if (hb_ot_metrics_get_position(scaled, HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &position))
        ascent_ = position;
    if (hb_ot_metrics_get_position(scaled, HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, &position))
        descent_ = position;

    char name[128];
    unsigned length = sizeof name;
    if (hb_ot_name_get_utf8(face, HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &length, name) > 0)
        postScriptName_ = QString::fromUtf8(name, int(length));
    if (postScriptName_.isEmpty())
        postScriptName_ = QStringLiteral("Font-") + tables_->StyleName();

    if (size < 54 || unitsPerEm_ <= 0 || glyphCount_ <= 0)
        return;
    kind_ = tables_->HasGlyf() ? Outlines::TrueType : tables_->HasCff() ? Outlines::Cff : Outlines::None;
    cidKeyed_ = kind_ == Outlines::Cff && HasCidKeyedCff(face);
}

int FontProgram::Advance(quint32 glyph) const {
    return hb_font_get_glyph_h_advance(tables_->Font(), glyph);
}

FontSubset FontProgram::Subset(const std::vector<quint32>& glyphs) const {
    FontSubset out;
    if (!IsValid())
        return out;
    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    if (!input)
        return out;
    hb_set_t* kept = hb_subset_input_glyph_set(input);
    hb_set_add(kept, 0);
    for (const quint32 glyph : glyphs)
        hb_set_add(kept, hb_codepoint_t(glyph));
    // Glyph 0 keeps its outline, the face's usual box for a character it lacks. Hinting
    // stays, as renderers at small sizes on screen use it.
    const bool renumber = kind_ == Outlines::TrueType || cidKeyed_;
    hb_subset_input_set_flags(input,
                              HB_SUBSET_FLAGS_NOTDEF_OUTLINE | (renumber ? 0 : HB_SUBSET_FLAGS_RETAIN_GIDS));
    if (kind_ == Outlines::TrueType) {
        // A TrueType font program in a PDF is drawn by glyph number: its names and OS/2
        // metrics are never read (nor its character map, which FaceTables leaves out).
        hb_set_t* dropped = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
        for (const char* name : {"name", "post", "OS/2", "gasp"})
            hb_set_add(dropped, Tag(name));
    }
    if (hb_subset_plan_t* plan = hb_subset_plan_create_or_fail(tables_->Face(), input)) {
        const hb_map_t* numbers = hb_subset_plan_old_to_new_glyph_mapping(plan);
        for (const quint32 glyph : glyphs) {
            const hb_codepoint_t number = hb_map_get(numbers, glyph);
            if (number != HB_MAP_VALUE_INVALID)
                out.numbers.emplace_back(glyph, cidKeyed_ ? glyph : quint32(number));
        }
        if (hb_face_t* subset = hb_subset_plan_execute_or_fail(plan)) {
            // A CID-keyed subset goes in as its bare CFF table, drawn by CID: readers take the
            // glyph numbers of an OpenType file as they are, and these are new.
            hb_blob_t* blob = cidKeyed_ ? hb_face_reference_table(subset, HB_TAG('C', 'F', 'F', ' '))
                                        : hb_face_reference_blob(subset);
            unsigned size = 0;
            const char* data = hb_blob_get_data(blob, &size);
            out.program = QByteArray(data, qsizetype(size));
            hb_blob_destroy(blob);
            hb_face_destroy(subset);
        }
        hb_subset_plan_destroy(plan);
    }
    hb_subset_input_destroy(input);
    return out;
}

} // namespace telmo

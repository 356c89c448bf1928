#include "platform/pdf/FontProgram.h"

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

} // namespace

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
}

int FontProgram::Advance(quint32 glyph) const {
    return hb_font_get_glyph_h_advance(tables_->Font(), glyph);
}

QByteArray FontProgram::Subset(const std::vector<quint32>& glyphs) const {
    if (!IsValid())
        return {};
    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    if (!input)
        return {};
    hb_set_t* kept = hb_subset_input_glyph_set(input);
    hb_set_add(kept, 0);
    for (const quint32 glyph : glyphs)
        hb_set_add(kept, hb_codepoint_t(glyph));
    // Glyphs keep their numbers: the page contents were written in them. Glyph 0 keeps its
    // outline, the face's usual box for a character it lacks. Hinting stays, as renderers at
    // small sizes on screen use it.
    hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_NOTDEF_OUTLINE);
    if (kind_ == Outlines::TrueType) {
        // A TrueType font program in a PDF is drawn by glyph number: its names, character map
        // and OS/2 metrics are never read.
        hb_set_t* dropped = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
        for (const char* name : {"name", "cmap", "post", "OS/2", "gasp"})
            hb_set_add(dropped, Tag(name));
    }
    QByteArray out;
    if (hb_face_t* subset = hb_subset_or_fail(tables_->Face(), input)) {
        hb_blob_t* blob = hb_face_reference_blob(subset);
        unsigned size = 0;
        const char* data = hb_blob_get_data(blob, &size);
        out = QByteArray(data, qsizetype(size));
        hb_blob_destroy(blob);
        hb_face_destroy(subset);
    }
    hb_subset_input_destroy(input);
    return out;
}

} // namespace telmo

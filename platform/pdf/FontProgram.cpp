#include "platform/pdf/FontProgram.h"

#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>
#include <utility>

namespace telmo {
namespace {

// The tables a PDF font program uses. Layout tables (shaping is done before the PDF is
// written), bitmaps and colour tables are left out.
constexpr const char* kTables[] = {"head", "hhea", "hmtx", "maxp", "OS/2", "name", "post", "cmap",
                                   "glyf", "loca", "cvt ", "fpgm", "prep", "gasp", "CFF ", "VORG"};

hb_tag_t Tag(const char* name) {
    return HB_TAG(name[0], name[1], name[2], name[3]);
}

int S16(const char* data, unsigned size, unsigned at) {
    return at + 2 <= size ? qint16(quint16(quint8(data[at]) << 8 | quint8(data[at + 1]))) : 0;
}

} // namespace

FontProgram::FontProgram(const QRawFont& font) {
    if (!font.isValid())
        return;
    // Qt gives a face's tables one by one, not its file (which may be a collection), so the
    // face is put together again from the tables that matter.
    hb_face_t* builder = hb_face_builder_create();
    bool glyf = false, cff = false;
    for (const char* name : kTables) {
        const QByteArray table = font.fontTable(name);
        if (table.isEmpty())
            continue;
        hb_blob_t* blob = hb_blob_create(table.constData(), unsigned(table.size()), HB_MEMORY_MODE_DUPLICATE,
                                         nullptr, nullptr);
        hb_face_builder_add_table(builder, Tag(name), blob);
        hb_blob_destroy(blob);
        glyf |= qstrcmp(name, "glyf") == 0;
        cff |= qstrcmp(name, "CFF ") == 0;
    }
    hb_blob_t* whole = hb_face_reference_blob(builder);
    hb_face_destroy(builder);
    face_ = hb_face_create(whole, 0);
    hb_blob_destroy(whole);

    unitsPerEm_ = int(hb_face_get_upem(face_));
    glyphCount_ = int(hb_face_get_glyph_count(face_));
    hb_blob_t* head = hb_face_reference_table(face_, HB_TAG('h', 'e', 'a', 'd'));
    unsigned size = 0;
    const char* data = hb_blob_get_data(head, &size);
    box_ = QRect(QPoint(S16(data, size, 36), S16(data, size, 38)),
                 QPoint(S16(data, size, 40), S16(data, size, 42)));
    hb_blob_destroy(head);
    font_ = hb_font_create(face_); // scaled in font units
    hb_position_t position = 0;
    if (hb_ot_metrics_get_position(font_, HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &position))
        ascent_ = position;
    if (hb_ot_metrics_get_position(font_, HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, &position))
        descent_ = position;

    char name[128];
    unsigned length = sizeof name;
    if (hb_ot_name_get_utf8(face_, HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &length, name) > 0)
        postScriptName_ = QString::fromUtf8(name, int(length));
    if (postScriptName_.isEmpty())
        postScriptName_ = QStringLiteral("Font-") + font.styleName();

    if (size < 54 || unitsPerEm_ <= 0 || glyphCount_ <= 0)
        return;
    kind_ = glyf ? Outlines::TrueType : cff ? Outlines::Cff : Outlines::None;
}

FontProgram::FontProgram(FontProgram&& other) noexcept
    : face_(std::exchange(other.face_, nullptr)), font_(std::exchange(other.font_, nullptr)),
      kind_(other.kind_), unitsPerEm_(other.unitsPerEm_), glyphCount_(other.glyphCount_), box_(other.box_),
      ascent_(other.ascent_), descent_(other.descent_), postScriptName_(std::move(other.postScriptName_)) {}

FontProgram::~FontProgram() {
    if (font_)
        hb_font_destroy(font_);
    if (face_)
        hb_face_destroy(face_);
}

int FontProgram::Advance(quint32 glyph) const {
    return font_ ? hb_font_get_glyph_h_advance(font_, glyph) : 0;
}

QByteArray FontProgram::Subset(const std::vector<bool>& used) const {
    if (!IsValid())
        return {};
    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    if (!input)
        return {};
    hb_set_t* glyphs = hb_subset_input_glyph_set(input);
    hb_set_add(glyphs, 0);
    for (size_t g = 0; g < used.size(); ++g)
        if (used[g])
            hb_set_add(glyphs, hb_codepoint_t(g));
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
    if (hb_face_t* subset = hb_subset_or_fail(face_, input)) {
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

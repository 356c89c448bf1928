#pragma once

#include <QRawFont>
#include <QString>
#include <memory>

struct hb_face_t;
struct hb_font_t;

namespace telmo {

// The tables of a face that a PDF font program is made from, copied out of Qt and put
// together as one HarfBuzz face. Copying them is most of the cost of embedding a large face
// (a CJK face's outlines are some 16 MB), so the faces last loaded are kept for the next
// documents of the process: a report of many small documents loads its faces once. Shared
// and never changed once loaded, so documents written on other threads may use it too.
class FaceTables {
public:
    // The face's tables, loaded now or kept from an earlier document. Never null; a face Qt
    // gives no tables for (a Type 1 face) gives an empty face.
    static std::shared_ptr<const FaceTables> Of(const QRawFont& font);

    explicit FaceTables(const QRawFont& font);
    ~FaceTables();
    FaceTables(const FaceTables&) = delete;
    FaceTables& operator=(const FaceTables&) = delete;

    hb_face_t* Face() const { return face_; }
    hb_font_t* Font() const { return font_; } // scaled in font units
    bool HasGlyf() const { return glyf_; }
    bool HasCff() const { return cff_; }
    // True when the face has bitmap glyphs (colour emoji and the like).
    bool HasBitmaps() const { return bitmaps_; }
    QString StyleName() const { return styleName_; }
    qsizetype Bytes() const { return bytes_; }

private:
    hb_face_t* face_ = nullptr;
    hb_font_t* font_ = nullptr;
    bool glyf_ = false, cff_ = false, bitmaps_ = false;
    QString styleName_;
    qsizetype bytes_ = 0;
};

} // namespace telmo

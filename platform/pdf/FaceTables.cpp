#include "platform/pdf/FaceTables.h"

#include <QCryptographicHash>
#include <hb.h>
#include <iterator>
#include <list>
#include <mutex>

namespace telmo {
namespace {

// The tables a PDF font program uses. Layout tables (shaping is done before the PDF is
// written), bitmaps and colour tables are left out, and so is the character map: pages draw
// by glyph number, and with a CJK face's map in it the subsetter walks some 44,000 entries
// for every subset (documents of a few lines in several faces took half as long again).
constexpr const char* kTables[] = {"head", "hhea", "hmtx", "maxp", "OS/2", "name", "post", "glyf",
                                   "loca", "cvt ", "fpgm", "prep", "gasp", "CFF ", "VORG"};

// How many faces are kept, and how many bytes of their tables at most (the last one used is
// kept whatever its size): a few CJK faces (some 16 MB each) and the faces beside them.
constexpr size_t kKeptFaces = 16;
constexpr qsizetype kKeptBytes = 64 << 20;

hb_tag_t Tag(const char* name) {
    return HB_TAG(name[0], name[1], name[2], name[3]);
}

// A face is known by its small tables: the names, the header with its checksum of the whole
// file and its dates, and the metrics; faces of one file at other sizes share them. Empty for
// a face without a header (Qt gives no tables for a Type 1 face), which is not kept.
QByteArray KeyOf(const QRawFont& font) {
    QCryptographicHash hash(QCryptographicHash::Md5);
    for (const char* name : {"name", "head", "hhea", "maxp", "OS/2"}) {
        const QByteArray table = font.fontTable(name);
        if (table.isEmpty() && qstrcmp(name, "head") == 0)
            return {};
        hash.addData(QByteArray::number(table.size()) + ':');
        hash.addData(table);
    }
    hash.addData(font.styleName().toUtf8());
    return hash.result();
}

struct Kept {
    QByteArray key;
    std::shared_ptr<const FaceTables> tables;
};

std::mutex keptMutex;
std::list<Kept> kept; // the last used first

} // namespace

std::shared_ptr<const FaceTables> FaceTables::Of(const QRawFont& font) {
    const QByteArray key = font.isValid() ? KeyOf(font) : QByteArray();
    if (key.isEmpty())
        return std::make_shared<const FaceTables>(font);
    {
        const std::lock_guard lock(keptMutex);
        for (auto it = kept.begin(); it != kept.end(); ++it)
            if (it->key == key) {
                kept.splice(kept.begin(), kept, it);
                return it->tables;
            }
    }
    // Loaded outside the lock: another thread's document need not wait for this face. Two
    // threads loading one face at once keep one of the two.
    auto tables = std::make_shared<const FaceTables>(font);
    const std::lock_guard lock(keptMutex);
    for (const Kept& k : kept)
        if (k.key == key)
            return k.tables;
    kept.push_front({key, tables});
    qsizetype bytes = tables->Bytes();
    size_t count = 1;
    for (auto it = std::next(kept.begin()); it != kept.end();) {
        if (count < kKeptFaces && bytes + it->tables->Bytes() <= kKeptBytes) {
            bytes += it->tables->Bytes();
            ++count;
            ++it;
        } else {
            it = kept.erase(it);
        }
    }
    return tables;
}

FaceTables::FaceTables(const QRawFont& font) {
    if (!font.isValid()) {
        face_ = hb_face_get_empty();
        font_ = hb_font_get_empty();
        return;
    }
    styleName_ = font.styleName();
    // Qt gives a face's tables one by one, not its file (which may be a collection), so the
    // face is put together again from the tables that matter.
    hb_face_t* builder = hb_face_builder_create();
    for (const char* name : kTables) {
        const QByteArray table = font.fontTable(name);
        if (table.isEmpty())
            continue;
        hb_blob_t* blob = hb_blob_create(table.constData(), unsigned(table.size()), HB_MEMORY_MODE_DUPLICATE,
                                         nullptr, nullptr);
        hb_face_builder_add_table(builder, Tag(name), blob);
        hb_blob_destroy(blob);
        glyf_ |= qstrcmp(name, "glyf") == 0;
        cff_ |= qstrcmp(name, "CFF ") == 0;
        bytes_ += table.size();
    }
    hb_blob_t* whole = hb_face_reference_blob(builder);
    hb_face_destroy(builder);
    face_ = hb_face_create(whole, 0);
    hb_blob_destroy(whole);
    font_ = hb_font_create(face_);
    bitmaps_ = !font.fontTable("CBDT").isEmpty() || !font.fontTable("sbix").isEmpty() ||
               !font.fontTable("EBDT").isEmpty();
}

FaceTables::~FaceTables() {
    hb_font_destroy(font_);
    hb_face_destroy(face_);
}

} // namespace telmo

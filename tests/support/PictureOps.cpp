#include "support/PictureOps.h"

#include <QTransform>

namespace telmo::test {
namespace {

void Collect(const Picture& picture, const QTransform& toTop, PlacedOps& out) {
    for (const Picture::Op& op : picture.Ops()) {
        if (const auto* text = std::get_if<Picture::TextOp>(&op)) {
            out.texts.push_back({toTop.map(text->topLeft), text->text, text->font});
        } else if (const auto* line = std::get_if<Picture::LineOp>(&op)) {
            out.lines.emplace_back(toTop.map(line->from), toTop.map(line->to));
        } else if (const auto* nested = std::get_if<Picture::PictureOp>(&op)) {
            if (!nested->picture || nested->source.width() <= 0 || nested->source.height() <= 0)
                continue;
            out.pictures.push_back({toTop.mapRect(nested->dest), nested->picture.get()});
            QTransform inner;
            inner.translate(nested->dest.left(), nested->dest.top());
            inner.scale(nested->dest.width() / nested->source.width(),
                        nested->dest.height() / nested->source.height());
            inner.translate(-nested->source.left(), -nested->source.top());
            Collect(*nested->picture, inner * toTop, out);
        }
    }
}

} // namespace

const PlacedText* PlacedOps::FindText(const QString& text) const {
    for (const PlacedText& placed : texts)
        if (placed.text == text)
            return &placed;
    return nullptr;
}

PlacedOps Flatten(const Picture& picture) {
    PlacedOps out;
    Collect(picture, QTransform(), out);
    return out;
}

} // namespace telmo::test

#pragma once

#include "platform/FontSpec.h"
#include "platform/grid/CellText.h"
#include "platform/grid/GridControl.h"
#include "platform/grid/TextMeasure.h"
#include "platform/ui/Picture.h"

#include <QLocale>
#include <QRectF>
#include <algorithm>
#include <memory>

namespace telmo {

// Places cell texts: wraps them in rows tall enough, ends what is wider than the cell in an
// ellipsis and clips what is taller than it.
class TextPlacer {
public:
    TextPlacer(telmo::Picture& picture, FontSpec font)
        : picture_(picture), font_(std::move(font)), measure_(TextMeasure::For(font_)),
          lineHeight_(measure_.LineHeight()) {}

    void Place(const QRectF& cell, QStringView view, int16_t alignment) {
        const double available = cell.width() - 2 * GridControl::kCellMarginX;
        if (available <= 0 || cell.height() <= 0 || view.isEmpty())
            return;
        // A row taller than two lines wraps the text at spaces into the lines it has room for;
        // whatever still does not fit ends in an ellipsis at the cell's edge.
        const double pad = GridControl::kCellPaddingY;
        const int room = std::max(1, static_cast<int>((cell.height() - 2 * pad) / lineHeight_));
        const QStringList lines = CellLines(measure_, view, available, room);
        if (lines.size() > 1) {
            const double block = lines.size() * lineHeight_;
            double top = cell.center().y() - block / 2;
            if (alignment != kAlignGeneral && alignment % 3 == 0)
                top = cell.top() + pad;
            else if (alignment != kAlignGeneral && alignment % 3 == 2)
                top = cell.bottom() - pad - block;
            for (qsizetype i = 0; i < lines.size(); ++i)
                PlaceLine(QRectF(cell.left(), top + i * lineHeight_, cell.width(), lineHeight_), view,
                          lines[i],
                          alignment == kAlignGeneral ? kAlignGeneral : int16_t(alignment / 3 * 3 + 1));
            return;
        }
        const QString text = lines.value(0);
        if (text.isEmpty())
            return;
        PlaceLine(cell, view, text, alignment);
    }

private:
    void PlaceLine(const QRectF& cell, QStringView view, const QString& text, int16_t alignment) {
        const double width = measure_.Width(text);
        int horizontal = 0; // 0 left, 1 centre, 2 right
        int vertical = 1;   // 0 top, 1 centre, 2 bottom
        if (alignment == kAlignGeneral) {
            horizontal = LooksNumeric(view, c_, user_) ? 2 : 0;
        } else {
            horizontal = alignment / 3;
            vertical = alignment % 3;
        }
        double x = cell.left() + GridControl::kCellMarginX;
        if (horizontal == 1)
            x = cell.center().x() - width / 2;
        else if (horizontal == 2)
            x = cell.right() - GridControl::kCellMarginX - width;

        const double pad = GridControl::kCellPaddingY;
        if (lineHeight_ > cell.height()) {
            // Taller than its cell: centred and clipped to the cell by a nested picture, as
            // text ops themselves have no clip.
            const double y = cell.top() + (cell.height() - lineHeight_) / 2;
            auto clip = std::make_shared<telmo::Picture>(picture_.Width(), picture_.Height());
            clip->AddText(QPointF(x, y), font_, text);
            picture_.AddPicture(std::move(clip), cell, cell);
            return;
        }
        double y = cell.center().y() - lineHeight_ / 2;
        if (vertical == 0)
            y = std::min(cell.top() + pad, cell.bottom() - lineHeight_);
        else if (vertical == 2)
            y = std::max(cell.bottom() - pad - lineHeight_, cell.top());
        picture_.AddText(QPointF(x, y), font_, text);
    }

    telmo::Picture& picture_;
    FontSpec font_;
    TextMeasure& measure_;
    double lineHeight_;
    QLocale c_ = QLocale::c();
    // The user's locale by its name: the system locale object itself asks the system for its
    // separators on every number it reads.
    QLocale user_ = QLocale(QLocale().name());
};

} // namespace telmo

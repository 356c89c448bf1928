#include "platform/FontSpec.h"

#include <cmath>

namespace telmo {

QFont ToTwipsFont(const FontSpec& spec) {
    QFont font(spec.name);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(spec.sizePt * 20.0f))));
    font.setBold(spec.bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    // Shaping stays on: Arabic joins and Indic scripts form their clusters only when shaped.
    // Plain Latin texts avoid its cost through the glyph runs of the picture playback.
    font.setStyleStrategy(QFont::PreferOutline);
    return font;
}

} // namespace telmo

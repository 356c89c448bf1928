#include "platform/FontSpec.h"

#include <cmath>

namespace telmo {

QFont ToTwipsFont(const FontSpec& spec) {
    QFont font(spec.name);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(spec.sizePt * 20.0f))));
    font.setBold(spec.bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferOutline | QFont::PreferNoShaping));
    return font;
}

} // namespace telmo

#include "platform/ControlCharacters.h"

#include <algorithm>

namespace telmo {

QString QuoteControlCharacters(const QString& text) {
    const auto isControl = [](char16_t c) {
        return c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0x2028 || c == 0x2029;
    };
    if (std::none_of(text.begin(), text.end(), [&](QChar c) { return isControl(c.unicode()); }))
        return text;
    QString quoted;
    quoted.reserve(text.size() + 8);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!isControl(u)) {
            quoted += c;
            continue;
        }
        switch (u) {
        case u'\n':
            quoted += QLatin1String("\\n");
            break;
        case u'\t':
            quoted += QLatin1String("\\t");
            break;
        case u'\r':
            quoted += QLatin1String("\\r");
            break;
        case 0x1b:
            quoted += QLatin1String("\\e");
            break;
        default:
            quoted += u < 0x100 ? QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'))
                                : QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
        }
    }
    return quoted;
}

} // namespace telmo

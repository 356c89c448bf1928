#pragma once

#include "platform/FontSpec.h"
#include "platform/pdf/PictureText.h"

#include <QFontMetricsF>
#include <QString>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace telmo {

// Text widths for one font. Shaping a string costs about a microsecond, which for every cell
// of every page adds up, so Latin-1 texts are measured from cached character advances plus
// cached pair adjustments (kerning, two-letter ligatures), each shaped once per font and
// thread. That matches the shaped width for pair kerning; a ligature of three or more
// letters may differ by a few twips. Texts with other characters are shaped in full.
class TextMeasure {
public:
    static TextMeasure& For(const FontSpec& spec) {
        thread_local std::vector<std::unique_ptr<TextMeasure>> cache;
        for (const auto& entry : cache)
            if (entry->spec_ == spec)
                return *entry;
        constexpr size_t kMaxFonts = 8; // the few fonts of a report; the oldest go first
        if (cache.size() >= kMaxFonts)
            cache.erase(cache.begin());
        cache.push_back(std::unique_ptr<TextMeasure>(new TextMeasure(spec)));
        return *cache.back();
    }

    double LineHeight() const { return lineHeight_; }

    double Width(const QString& text) {
        // A cell's text is measured to wrap it, to shorten it and to align it: the same
        // string each time. Holding it keeps its characters from changing under the pointer.
        if (text.constData() == lastText_.constData() && text.size() == lastText_.size())
            return lastWidth_;
        lastWidth_ = MeasuredWidth(text);
        lastText_ = text;
        return lastWidth_;
    }

    // The number of leading characters that fit into the width (never half a surrogate pair).
    int FittingPrefix(const QString& text, double available) {
        const int size = static_cast<int>(std::min<qsizetype>(text.size(), std::numeric_limits<int>::max()));
        int keep = 0;
        if (IsLatin1(text)) {
            double width = 0;
            char16_t previous = 0;
            for (; keep < size; ++keep) {
                width += Step(previous, text[keep].unicode());
                if (width > available)
                    break;
                previous = text[keep].unicode();
            }
            return keep;
        }
        int hi = size;
        while (keep < hi) {
            const int mid = keep + (hi - keep + 1) / 2;
            if (metrics_.horizontalAdvance(text, mid) <= available)
                keep = mid;
            else
                hi = mid - 1;
        }
        if (keep > 0 && text[keep - 1].isHighSurrogate())
            --keep;
        return keep;
    }

private:
    double MeasuredWidth(const QString& text) {
        if (!IsLatin1(text)) {
            // Measured in the font the text is drawn in: an Indic text the font lacks is
            // shaped in one that has it, and Qt would warn while looking for one itself.
            const CachedFont& cached = FontFor(spec_);
            const QFont& font = FontForScriptOf(cached, text);
            return &font == &cached.font ? metrics_.horizontalAdvance(text)
                                         : QFontMetricsF(font).horizontalAdvance(text);
        }
        double width = 0;
        char16_t previous = 0;
        for (const QChar ch : text) {
            width += Step(previous, ch.unicode());
            previous = ch.unicode();
        }
        return width;
    }

    explicit TextMeasure(const FontSpec& spec)
        : spec_(spec), metrics_(ToTwipsFont(spec)), lineHeight_(metrics_.height()),
          pairs_(size_t(1) << 16, std::numeric_limits<float>::quiet_NaN()) {
        advances_.fill(-1);
    }

    static bool IsLatin1(const QString& text) {
        for (const QChar ch : text)
            if (ch.unicode() > 0xFF)
                return false;
        return true;
    }

    double Advance(char16_t ch) {
        if (advances_[ch] < 0)
            advances_[ch] = metrics_.horizontalAdvance(QChar(ch));
        return advances_[ch];
    }

    // The width a character adds after the previous one (0 at the start of the text).
    double Step(char16_t previous, char16_t ch) {
        double step = Advance(ch);
        if (previous != 0) {
            float& pair = pairs_[(size_t(previous) << 8) | ch];
            if (std::isnan(pair)) {
                const QChar both[2] = {QChar(previous), QChar(ch)};
                pair = static_cast<float>(metrics_.horizontalAdvance(QString(both, 2)) - Advance(previous) -
                                          step);
            }
            step += pair;
        }
        return step;
    }

    FontSpec spec_;
    QFontMetricsF metrics_;
    double lineHeight_;
    std::array<double, 256> advances_;
    std::vector<float> pairs_; // adjustment of each Latin-1 pair, NaN until measured
    QString lastText_;         // the text measured last, and its width
    double lastWidth_ = 0;
};

} // namespace telmo

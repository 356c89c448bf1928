#include "platform/Conversions.h"

#include "platform/RuntimeError.h"

#include <cmath>
#include <limits>

namespace telmo {

namespace {
// std::nearbyint honours the default rounding mode, round-half-to-even.
double RoundHalfEven(double value) {
    return std::nearbyint(value);
}

template <typename T> T Narrow(double value) {
    if (std::isnan(value)) {
        throw RuntimeError(err::kOverflow);
    }
    const double rounded = RoundHalfEven(value);
    if (rounded < static_cast<double>(std::numeric_limits<T>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<T>::max())) {
        throw RuntimeError(err::kOverflow);
    }
    return static_cast<T>(rounded);
}
} // namespace

int16_t ToInteger(double value) {
    return Narrow<int16_t>(value);
}
int32_t ToLong(double value) {
    return Narrow<int32_t>(value);
}

int16_t AddInteger(int16_t a, int16_t b) {
    return ToInteger(static_cast<double>(a) + b);
}
int16_t SubtractInteger(int16_t a, int16_t b) {
    return ToInteger(static_cast<double>(a) - b);
}

} // namespace telmo

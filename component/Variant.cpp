#include "component/Variant.h"

#include "platform/RuntimeError.h"

#include <QLocale>
#include <cmath>
#include <limits>
#include <optional>

namespace telmo {

namespace {

// A string converts to a number when it reads as one after trimming, first in the neutral
// notation ("12", "-3.5", "1E3"), then in the notation of the user's locale (a German host
// passing "1,5"). Infinities and NaN are not numbers a host can write.
std::optional<double> ParseNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::system().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

[[noreturn]] void TypeMismatch() {
    throw RuntimeError(err::kTypeMismatch);
}

[[noreturn]] void InvalidUseOfNull() {
    throw RuntimeError(err::kInvalidUseOfNull);
}

AutomationBool BoolFromNumber(double value) {
    if (value == 0)
        return kAutomationFalse;
    if (value == std::trunc(value) && value >= std::numeric_limits<int16_t>::min() &&
        value <= std::numeric_limits<int16_t>::max())
        return static_cast<AutomationBool>(value);
    return kAutomationTrue;
}

QString NumberText(double value, int significantDigits) {
    // 'G' gives the upper-case exponent hosts are used to ("1E+20").
    return QString::number(value, 'G', significantDigits);
}

} // namespace

Variant::Variant(bool value) : value_(BoolValue{ToAutomationBool(value)}) {}
Variant::Variant(int16_t value) : value_(value) {}
Variant::Variant(int32_t value) : value_(value) {}
Variant::Variant(float value) : value_(value) {}
Variant::Variant(double value) : value_(value) {}
Variant::Variant(const QString& value) : value_(value) {}
Variant::Variant(const char* value) : value_(QString::fromUtf8(value)) {}
Variant::Variant(ObjectRef value) : value_(std::move(value)) {}

Variant Variant::Boolean(AutomationBool raw) {
    return Variant(RawTag<BoolValue>{}, BoolValue{raw});
}
Variant Variant::Missing() {
    return Variant(RawTag<MissingTag>{}, MissingTag{});
}
Variant Variant::Null() {
    return Variant(RawTag<NullTag>{}, NullTag{});
}

double Variant::ToDouble() const {
    switch (type()) {
    case Type::Empty:
        return 0;
    case Type::Boolean:
        return std::get<BoolValue>(value_).raw;
    case Type::Integer:
        return std::get<int16_t>(value_);
    case Type::Long:
        return std::get<int32_t>(value_);
    case Type::Single:
        return std::get<float>(value_);
    case Type::Double:
        return std::get<double>(value_);
    case Type::String:
        if (const auto number = ParseNumber(std::get<QString>(value_)))
            return *number;
        TypeMismatch();
    case Type::Null:
        InvalidUseOfNull();
    case Type::Missing:
    case Type::Object:
        break;
    }
    TypeMismatch();
}

int16_t Variant::ToInteger() const {
    return telmo::ToInteger(ToDouble());
}

int32_t Variant::ToLong() const {
    return telmo::ToLong(ToDouble());
}

float Variant::ToSingle() const {
    const double value = ToDouble();
    if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max())
        throw RuntimeError(err::kOverflow);
    return static_cast<float>(value);
}

QString Variant::ToString() const {
    switch (type()) {
    case Type::Empty:
        return QString();
    case Type::Boolean:
        return std::get<BoolValue>(value_).raw != 0 ? QStringLiteral("True") : QStringLiteral("False");
    case Type::Integer:
        return QString::number(std::get<int16_t>(value_));
    case Type::Long:
        return QString::number(std::get<int32_t>(value_));
    case Type::Single:
        return NumberText(std::get<float>(value_), 7);
    case Type::Double:
        return NumberText(std::get<double>(value_), 15);
    case Type::String:
        return std::get<QString>(value_);
    case Type::Null:
        InvalidUseOfNull();
    case Type::Missing:
    case Type::Object:
        break;
    }
    TypeMismatch();
}

AutomationBool Variant::ToBool() const {
    switch (type()) {
    case Type::Empty:
        return kAutomationFalse;
    case Type::Boolean:
        return std::get<BoolValue>(value_).raw;
    case Type::Integer:
        return std::get<int16_t>(value_);
    case Type::Long:
    case Type::Single:
    case Type::Double:
        return BoolFromNumber(ToDouble());
    case Type::String: {
        const QString text = std::get<QString>(value_).trimmed();
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return kAutomationTrue;
        if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return kAutomationFalse;
        if (const auto number = ParseNumber(text))
            return BoolFromNumber(*number);
        TypeMismatch();
    }
    case Type::Null:
        InvalidUseOfNull();
    case Type::Missing:
    case Type::Object:
        break;
    }
    TypeMismatch();
}

ObjectRef Variant::ToObject() const {
    if (type() != Type::Object)
        TypeMismatch();
    return std::get<ObjectRef>(value_);
}

QString Variant::Describe() const {
    switch (type()) {
    case Type::Empty:
        return QStringLiteral("Empty");
    case Type::Missing:
        return QStringLiteral("Missing");
    case Type::Boolean:
        return QStringLiteral("Boolean(%1)").arg(std::get<BoolValue>(value_).raw);
    case Type::Integer:
        return QStringLiteral("Integer(%1)").arg(ToString());
    case Type::Long:
        return QStringLiteral("Long(%1)").arg(ToString());
    case Type::Single:
        return QStringLiteral("Single(%1)").arg(ToString());
    case Type::Double:
        return QStringLiteral("Double(%1)").arg(ToString());
    case Type::String:
        return QStringLiteral("String(\"%1\")").arg(std::get<QString>(value_));
    case Type::Object:
        return std::get<ObjectRef>(value_) ? QStringLiteral("Object") : QStringLiteral("Nothing");
    case Type::Null:
        return QStringLiteral("Null");
    }
    return QString();
}

} // namespace telmo

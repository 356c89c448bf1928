#pragma once

#include "platform/AutomationObject.h"
#include "platform/Conversions.h"

#include <QString>
#include <cstdint>
#include <variant>

namespace telmo {

// A tagged value as automation hands it over: what late-bound hosts pass to IPrinter::Invoke
// and what the members typed as variant return. The conversions follow the automation
// coercion rules the component depends on; every failed conversion raises a RuntimeError
// (13 Type mismatch for a value of the wrong kind, 6 Overflow for one out of range).
class Variant {
public:
    enum class Type { Empty, Missing, Boolean, Integer, Long, Single, Double, String, Object, Null };

    // Empty.
    Variant() = default;
    // Boolean: true is held as the automation true value -1, false as 0.
    Variant(bool value);
    Variant(int16_t value);
    Variant(int32_t value);
    Variant(float value);
    Variant(double value);
    Variant(const QString& value);
    // Without it a string literal would silently become a boolean.
    Variant(const char* value);
    // An object reference; a null reference is the automation "Nothing".
    Variant(ObjectRef value);

    // A boolean holding any 16-bit value, as a host that is not careful may pass (1, say).
    static Variant Boolean(AutomationBool raw);
    // The marker of a left-out optional argument.
    static Variant Missing();
    // The automation Null, "no valid data": unlike Empty it converts to nothing, every
    // conversion raises 94 (Invalid use of Null).
    static Variant Null();

    Type type() const { return static_cast<Type>(value_.index()); }
    bool IsEmpty() const { return type() == Type::Empty; }
    bool IsMissing() const { return type() == Type::Missing; }
    bool IsNull() const { return type() == Type::Null; }
    // True for any object, Nothing included.
    bool IsObject() const { return type() == Type::Object; }

    // Numeric coercions. Empty is 0, a boolean its 16-bit value (-1 for true), a string its
    // number when it reads as one; any other string, an object or Missing raises 13, Null 94.
    double ToDouble() const;
    // Rounds to the nearest whole number, halves to even; out of range raises 6.
    int16_t ToInteger() const;
    int32_t ToLong() const;
    // Out of the single-precision range raises 6.
    float ToSingle() const;

    // Empty is "", a boolean "True" or "False", a number its shortest text (7 significant
    // digits for a single, 15 for a double); an object or Missing raises 13, Null 94.
    QString ToString() const;

    // The value as an automation boolean, kept as received where it fits: a boolean keeps its
    // raw value, a whole number in the 16-bit range is taken as it is (so 1 stays 1 and acts as
    // false), zero is false, any other number is the automation true value. "True" and "False"
    // are read as -1 and 0, numeric strings as their number; Null raises 94, anything else 13.
    AutomationBool ToBool() const;
    // Only the automation true value counts.
    bool IsTrue() const { return IsAutomationTrue(ToBool()); }

    // The object reference (possibly Nothing); any other kind raises 13 (Null too: an object
    // argument is checked for its kind, not converted).
    ObjectRef ToObject() const;

    bool operator==(const Variant&) const = default;

    // A short description for diagnostics: the type name and the value.
    QString Describe() const;

private:
    struct MissingTag {
        bool operator==(const MissingTag&) const = default;
    };
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    struct BoolValue {
        AutomationBool raw = kAutomationFalse;
        bool operator==(const BoolValue&) const = default;
    };
    // The alternatives are in the order of Type.
    using Storage = std::variant<std::monostate, MissingTag, BoolValue, int16_t, int32_t, float, double,
                                 QString, ObjectRef, NullTag>;
    // Tagged, so that it never competes with the public constructors. The alternative is built
    // in place: moving a whole temporary variant in makes GCC's instrumented builds see the
    // inactive alternatives as read uninitialised.
    template <typename T> struct RawTag {};
    template <typename T> explicit Variant(RawTag<T>, T value) : value_(std::in_place_type<T>, value) {}

    Storage value_;
};

} // namespace telmo

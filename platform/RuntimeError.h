#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

namespace telmo {

// Standard automation run-time error numbers used across the component.
namespace err {
constexpr int32_t kInvalidProcedureCall = 5;
constexpr int32_t kOverflow = 6;
constexpr int32_t kOutOfMemory = 7;
constexpr int32_t kSubscriptOutOfRange = 9;
constexpr int32_t kDivisionByZero = 11;
constexpr int32_t kTypeMismatch = 13;
constexpr int32_t kFileNotFound = 53;
constexpr int32_t kBadFileNameOrNumber = 52;
constexpr int32_t kPermissionDenied = 70;
constexpr int32_t kPathFileAccessError = 75;
constexpr int32_t kObjectNotSet = 91;
constexpr int32_t kInvalidUseOfNull = 94;
constexpr int32_t kInvalidPropertyValue = 380;
constexpr int32_t kFormAlreadyDisplayed = 400;
constexpr int32_t kInvalidPropertyArrayIndex = 381;
constexpr int32_t kObjectDoesNotSupport = 438;
constexpr int32_t kArgumentNotOptional = 449;
constexpr int32_t kWrongNumberOfArguments = 450;
constexpr int32_t kPrinterError = 482;
} // namespace err

// The standard description text for a run-time error number ("Overflow" for 6 ...).
QString StandardErrorText(int32_t number);

// The one error type of the component: a run-time error number and its description,
// as the host and the error log see them.
class RuntimeError : public std::runtime_error {
public:
    explicit RuntimeError(int32_t number); // standard description
    RuntimeError(int32_t number, const QString& description);

    int32_t Number() const { return number_; }
    const QString& Description() const { return description_; }

private:
    int32_t number_;
    QString description_;
};

} // namespace telmo

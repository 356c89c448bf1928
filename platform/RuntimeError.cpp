#include "platform/RuntimeError.h"

namespace telmo {

QString StandardErrorText(int32_t number) {
    switch (number) {
    case err::kInvalidProcedureCall:
        return QStringLiteral("Invalid procedure call or argument");
    case err::kOverflow:
        return QStringLiteral("Overflow");
    case err::kOutOfMemory:
        return QStringLiteral("Out of memory");
    case err::kSubscriptOutOfRange:
        return QStringLiteral("Subscript out of range");
    case err::kDivisionByZero:
        return QStringLiteral("Division by zero");
    case err::kTypeMismatch:
        return QStringLiteral("Type mismatch");
    case err::kBadFileNameOrNumber:
        return QStringLiteral("Bad file name or number");
    case err::kFileNotFound:
        return QStringLiteral("File not found");
    case err::kPermissionDenied:
        return QStringLiteral("Permission denied");
    case err::kPathFileAccessError:
        return QStringLiteral("Path/File access error");
    case err::kObjectNotSet:
        return QStringLiteral("Object variable or With block variable not set");
    case err::kInvalidUseOfNull:
        return QStringLiteral("Invalid use of Null");
    case err::kInvalidPropertyValue:
        return QStringLiteral("Invalid property value");
    case err::kFormAlreadyDisplayed:
        return QStringLiteral("Form already displayed; can't show modally");
    case err::kInvalidPropertyArrayIndex:
        return QStringLiteral("Invalid property array index");
    case err::kObjectDoesNotSupport:
        return QStringLiteral("Object doesn't support this property or method");
    case err::kArgumentNotOptional:
        return QStringLiteral("Argument not optional");
    case err::kWrongNumberOfArguments:
        return QStringLiteral("Wrong number of arguments or invalid property assignment");
    case err::kPrinterError:
        return QStringLiteral("Printer error");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}

RuntimeError::RuntimeError(int32_t number) : RuntimeError(number, StandardErrorText(number)) {}

RuntimeError::RuntimeError(int32_t number, const QString& description)
    : std::runtime_error(description.toStdString()), number_(number), description_(description) {}

} // namespace telmo

#pragma once

#include <QString>
#include <exception>

namespace telmo {

// Module numbers of the error sources.
namespace module {
inline constexpr const char* kIPrinter = "9000";
inline constexpr const char* kPreview = "9003";
inline constexpr const char* kPrintStatus = "9004";
inline constexpr const char* kPrintDialog = "9006";
inline constexpr const char* kGeneral = "9007";
} // namespace module

// Tells the user what the component was trying to do and what went wrong, then appends one
// line to the error log. Never throws: a log that cannot be written is said once on stderr.
void ReportError(const QString& number, const QString& description, const QString& source);

// Reports the exception currently being handled (a RuntimeError, or any other exception as a
// generic error) with the source module + procedure, e.g. ReportCurrentException("9007", ".CopyGrid").
// A RuntimeError gives its number and description, std::bad_alloc 7 "Out of memory", any other
// exception 440 with its what() text ("Automation error" when it has none). Never throws;
// outside a handler it reports nothing.
void ReportCurrentException(const char* moduleNumber, const char* procedure);

} // namespace telmo

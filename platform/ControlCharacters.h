#pragma once

#include <QString>

namespace telmo {

// The text with every control character (C0, DEL, C1, line and paragraph separators) written
// as a backslash escape (\n, \t, \r, \e, else \xHH or \uHHHH), so that a file name holding a
// newline or an escape sequence stays one plain line in a message or a log and cannot
// drive the terminal it is printed on.
QString QuoteControlCharacters(const QString& text);

} // namespace telmo

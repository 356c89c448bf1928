#pragma once

namespace telmo {

// The title block at the top of the current printer page: title lines 1 to 3, the date and
// the separator. The printer's font is left as the last line set it. Errors are reported.
void PrintReportHeader();

} // namespace telmo

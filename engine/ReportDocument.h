#pragma once

namespace telmo {

// Ends the report's document on the current printer. A run in which an error was reported
// (a stale page table after an overflow, rows skipped by a refused start row) has not made the
// report that was asked for: spooler printers still receive the pages drawn, as ever, but the
// built-in PDF printer does not save them, since the file would pass for the whole report. Its
// document is dropped, the file at the target keeps what it held, and the user is told.
void EndReportDocument();

// The same for a document that a failed step left open; nothing when none is open. Errors are
// swallowed: this runs on error paths, after the failure has been reported.
void EndOpenReportDocument();

} // namespace telmo

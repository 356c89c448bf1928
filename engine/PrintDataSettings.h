#pragma once

#include <cstdint>

namespace telmo {

// Measures the source grid against the current printer, chooses the pagination mode, builds
// the page block table, sets the page count and current page, sets the preview window's
// navigation buttons and page caption and has it compose page 1. Errors are reported.
void CalculagePrintDataSettings();

// Sets RowPageEstimate from the summed row heights; an error leaves it as it was.
void EstimateRowPages();
// Summed row heights from the start row on (0 after an error).
int32_t TotalRowHeight();
// Summed column widths (errors pass to the caller).
int32_t TotalColWidth();

// Row and column pagination of the source grid into the job state. Errors are reported.
void CalculageDataInfoForPage();
void CalculageDataInfoForWidth();

// "Page n of m" on the preview window's page caption. The argument is not read.
void UpdatePageLabel(int16_t& currentPage);

} // namespace telmo

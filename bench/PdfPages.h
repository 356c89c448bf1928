#pragma once

#include <QString>

namespace telmo::bench {

// The page count pdfinfo reads from a PDF, or -1 when it cannot be read.
int PdfPages(const QString& pdf);

} // namespace telmo::bench

#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace telmo {
class Grid;
}

namespace telmo::app {

// What the report command checks before it prints a grid on a printable area: the reasons
// the component would print nothing, and the cells that would lie off the paper.
struct PreflightFindings {
    // Why nothing can be printed, in plain words; empty when the report can go out.
    std::optional<QString> blocker;
    // Columns or rows that print but run off the paper, one line each.
    QStringList warnings;
};

// scaleWidth and scaleHeight: the printable area in twips. startRow: the report's start row
// as the user gives it (1 is the first row under the heading), 0 for none.
PreflightFindings CheckReport(const Grid& grid, float scaleWidth, float scaleHeight, int startRow,
                              const QString& csvPath);

} // namespace telmo::app

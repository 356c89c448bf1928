#pragma once

#include "app/CsvReader.h"
#include "app/ReportGrid.h"
#include "component/IPrinter.h"

#include <QChar>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

namespace telmo::app {

struct TitleLine {
    QString text;
    TitleAlignment alignment = ALIGNCENTER;
    QString fontName = QStringLiteral("Times New Roman");
    int16_t points = 12;
};

// Everything the command line asks for, checked before the file is read, so that a bad value
// is told at once, also for an option that would only be used later (or not at all).
struct ReportOptions {
    QString csvPath;
    std::array<std::optional<TitleLine>, 4> titles;
    std::optional<TitleLine> date;
    bool separator = false;
    std::optional<int32_t> startRow;
    std::optional<QString> errorLog;
    GridOptions grid;
    std::optional<QString> printer;
    std::optional<QString> pdf;
    std::optional<int16_t> paper;
    bool landscape = false;
    std::optional<int16_t> copies;
    bool printDialog = false;
    bool preview = false;
    bool layout = false;
    std::optional<QString> screenshot;
    int page = 1;
    CsvFormat csv; // separator (null: guessed from the file's first lines), comment, encoding
    bool fitWidth = false;
    QStringList columns; // headings or numbers from 1, in the order to print
    bool titleFromFile = false;

    // Reads the arguments (without the program name). Nothing, with the exit status in
    // exitStatus, when the command ends here: after --help, or after telling a usage error.
    static std::optional<ReportOptions> Read(const QStringList& arguments, int& exitStatus);
};

// Whether windows can be shown: not on the offscreen or minimal platform.
bool HasDisplay();

} // namespace telmo::app

#include "app/ReportOptionTable.h"

#include <QCommandLineParser>

namespace telmo::app {

void DeclareOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Prints a CSV file as a paginated report, or shows it in the print preview.\n"
                       "The first line is the heading row, the first field of each line the heading column.\n"
                       "Without a display it runs offscreen: errors go to standard error, no window waits.\n"
                       "Ctrl-C while printing stops after the page being printed; pages printed to a\n"
                       "printer stay printed, an unfinished PDF is not saved (an earlier file stays).\n"
                       "Exit status: 0 done, 1 an error was reported, 2 bad usage or an unreadable,\n"
                       "malformed or empty file (nothing is printed then), 130 stopped by Ctrl-C.\n"
                       "A field or a record (a line, with the line breaks of its quoted fields) of more\n"
                       "than 16 MB is refused, naming its line: no table of text has one."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("file.csv"),
                                 QStringLiteral("The table to print (RFC 4180, UTF-8 or see --encoding)."));
    const auto add = [&](const QString& name, const QString& help, const QString& valueName = QString()) {
        parser.addOption(QCommandLineOption(name, help, valueName));
    };
    for (int i = 1; i <= 4; ++i) {
        add(QStringLiteral("title%1").arg(i),
            i == 4 ? QStringLiteral("Title line 4, near the foot of the preview page (not printed).")
                   : QStringLiteral("Title line %1.").arg(i),
            QStringLiteral("TEXT"));
        add(QStringLiteral("align%1").arg(i),
            QStringLiteral("Alignment of title %1: left, center or right.").arg(i), QStringLiteral("ALIGN"));
        add(QStringLiteral("font%1").arg(i), QStringLiteral("Font of title %1.").arg(i),
            QStringLiteral("NAME"));
        add(QStringLiteral("size%1").arg(i), QStringLiteral("Size of title %1 in points.").arg(i),
            QStringLiteral("PT"));
    }
    add(QStringLiteral("date"), QStringLiteral("The date line, printed at the right of title 2."),
        QStringLiteral("TEXT"));
    add(QStringLiteral("date-font"), QStringLiteral("Font of the date line."), QStringLiteral("NAME"));
    add(QStringLiteral("date-size"), QStringLiteral("Size of the date line in points."),
        QStringLiteral("PT"));
    add(QStringLiteral("separator"), QStringLiteral("Draw a line under the titles."));
    add(QStringLiteral("start-row"),
        QStringLiteral("First row of a one-page report (1 is the line after the heading row)."),
        QStringLiteral("N"));
    add(QStringLiteral("error-log"), QStringLiteral("Append reported errors to FILE."),
        QStringLiteral("FILE"));
    add(QStringLiteral("fixed-rows"), QStringLiteral("Heading rows of the grid, 0 or 1 (default 1)."),
        QStringLiteral("N"));
    add(QStringLiteral("col-widths"),
        QStringLiteral(
            "Column widths in twips, comma-separated; the last repeats (default: fitted to the text)."),
        QStringLiteral("LIST"));
    add(QStringLiteral("row-heights"),
        QStringLiteral(
            "Row heights in twips, comma-separated; the last repeats (default: from the grid font)."),
        QStringLiteral("LIST"));
    add(QStringLiteral("grid-font"), QStringLiteral("Font of the grid cells."), QStringLiteral("NAME"));
    add(QStringLiteral("grid-size"), QStringLiteral("Size of the grid font in points."),
        QStringLiteral("PT"));
    add(QStringLiteral("delimiter"),
        QStringLiteral("Field separator: , ; | tab, or auto (default): the one that splits most of the first "
                       "lines alike."),
        QStringLiteral("SEP"));
    add(QStringLiteral("comment"), QStringLiteral("Skip the lines that start with CHAR (e.g. '#')."),
        QStringLiteral("CHAR"));
    add(QStringLiteral("encoding"),
        QStringLiteral("The file's encoding, e.g. latin1, windows-1252, UTF-16 (default: UTF-8, or UTF-16 "
                       "when the file starts with its byte order mark)."),
        QStringLiteral("NAME"));
    add(QStringLiteral("columns"),
        QStringLiteral("The columns to print, in this order, by heading or number from 1, "
                       "comma-separated (e.g. Name,3,City); the first is the heading column."),
        QStringLiteral("LIST"));
    add(QStringLiteral("locale"),
        QStringLiteral("Read numbers also as in this locale (e.g. de_DE for 1.234,5). A column whose "
                       "cells are all numbers is aligned right."),
        QStringLiteral("NAME"));
    add(QStringLiteral("fit-width"),
        QStringLiteral("Make the grid font smaller (down to 6 pt) so the report is one page wide; "
                       "warns and prints at 6 pt when even that is too wide."));
    add(QStringLiteral("wrap"),
        QStringLiteral("Make each row as tall as its texts wrapped in their columns (at most a page)."));
    add(QStringLiteral("title-from-file"), QStringLiteral("Title 1 is the file's name."));
    add(QStringLiteral("printer"), QStringLiteral("A spooler printer, or PDF for the built-in PDF printer."),
        QStringLiteral("NAME"));
    add(QStringLiteral("pdf"), QStringLiteral("Print to FILE on the built-in PDF printer."),
        QStringLiteral("FILE"));
    add(QStringLiteral("paper"), QStringLiteral("Paper size: A4, Letter, Legal, A3 or A5."),
        QStringLiteral("SIZE"));
    add(QStringLiteral("landscape"), QStringLiteral("Landscape orientation."));
    add(QStringLiteral("copies"), QStringLiteral("Number of copies."), QStringLiteral("N"));
    add(QStringLiteral("print-dialog"),
        QStringLiteral("Choose the printer in the print dialog first (needs a display)."));
    add(QStringLiteral("preview"), QStringLiteral("Open the print preview window (needs a display)."));
    add(QStringLiteral("screenshot"),
        QStringLiteral("Compose page N in the preview window offscreen, save it as PNG."),
        QStringLiteral("FILE.png"));
    add(QStringLiteral("page"), QStringLiteral("The page for --screenshot (default 1)."),
        QStringLiteral("N"));
    add(QStringLiteral("layout"),
        QStringLiteral("Write the page layout, tab-separated, without printing: printer, scale, "
                       "mode, pages, and a line per page (page, rows and columns from-to)."));
}

} // namespace telmo::app

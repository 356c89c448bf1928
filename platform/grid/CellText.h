#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>

// How a cell's text fits its cell: read as a number or not, cut to a width, wrapped into lines.
namespace telmo {

class TextMeasure;

// The column alignment that puts numbers on the right and other texts on the left.
constexpr int16_t kAlignGeneral = 9;

bool LooksNumeric(QStringView text, const QLocale& c, const QLocale& user);
// A plain decimal (a sign, digits, at most one point between digits), which the C locale reads
// as a number: told without asking a locale, which costs more than drawing the cell.
bool IsPlainDecimal(QStringView text);
QString Shortened(TextMeasure& measure, const QString& text, double available);
QStringList WrapLines(TextMeasure& measure, const QString& text, double available, int room);
QString OneLine(QStringView view);
QStringList CellLines(TextMeasure& measure, QStringView view, double available, int room);

} // namespace telmo

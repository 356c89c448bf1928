#include "platform/grid/CellText.h"

#include "platform/grid/TextMeasure.h"

#include <QStringTokenizer>
#include <algorithm>

namespace telmo {

bool IsPlainDecimal(QStringView text) {
    qsizetype digits = 0, points = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u >= u'0' && u <= u'9')
            ++digits;
        else if (u == u'.' && i > 0 && i + 1 < text.size() && text[i - 1].isDigit())
            ++points;
        else if (!(i == 0 && (u == u'+' || u == u'-')))
            return false;
    }
    return digits > 0 && points <= 1 && text.back().isDigit();
}

// General alignment puts numbers on the right: a text counts as a number when the C locale
// or the user's locale reads it as one.
bool LooksNumeric(QStringView text, const QLocale& c, const QLocale& user) {
    text = text.trimmed();
    if (text.isEmpty())
        return false;
    const QChar first = text.front();
    if (!first.isDigit() && first != u'+' && first != u'-' && first != u'.' && first != u',')
        return false;
    // Reading through a locale costs more than drawing the cell, so the usual cases are told
    // apart first: plain decimals, and texts with what no number has (a sign inside the text
    // but after an exponent's e, a percent sign, a colon, a slash: dates, times, percentages).
    if (IsPlainDecimal(text))
        return true;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (((u == u'+' || u == u'-') && text[i - 1] != u'e' && text[i - 1] != u'E') || u == u'%' ||
            u == u':' || u == u'/')
            return false;
    }
    bool ok = false;
    c.toDouble(text, &ok);
    if (!ok && user != c)
        user.toDouble(text, &ok);
    return ok;
}

// The text cut to the width with an ellipsis, or as much as fits when not even that does.
QString Shortened(TextMeasure& measure, const QString& text, double available) {
    if (measure.Width(text) <= available)
        return text;
    const QString ellipsis(QChar(0x2026));
    const int keep = measure.FittingPrefix(text, available - measure.Width(ellipsis));
    if (keep > 0)
        return text.left(keep) + ellipsis;
    return text.left(measure.FittingPrefix(text, available));
}

// A cell's text broken at spaces into at most room lines of the available width (a word wider
// than that is broken where it fills the line); the last line ends in an ellipsis when the
// text goes on past it.
QStringList WrapLines(TextMeasure& measure, const QString& text, double available, int room) {
    QStringList lines;
    QString rest = text;
    while (!rest.isEmpty()) {
        if (static_cast<int>(lines.size()) + 1 == room || measure.Width(rest) <= available) {
            lines << Shortened(measure, rest, available);
            break;
        }
        int keep = measure.FittingPrefix(rest, available);
        const int space = static_cast<int>(rest.lastIndexOf(u' ', keep));
        if (space > 0)
            keep = space;
        if (keep == 0)
            keep = 1;
        lines << rest.left(keep);
        rest = rest.mid(keep).trimmed();
    }
    return lines;
}

QString OneLine(QStringView view) {
    QString text = view.toString();
    // A text op draws one line, so what is left of line breaks and tabs becomes spaces.
    for (QChar& ch : text)
        if (ch == u'\n' || ch == u'\r' || ch == u'\t')
            ch = u' ';
    return text;
}

// The lines a cell's text prints as in room lines: each line of the text (a line feed starts
// the next) wrapped at spaces as WrapLines does. When lines of the text are left over, the
// last line printed ends in an ellipsis, so that a cell never looks complete when it is not.
QStringList CellLines(TextMeasure& measure, QStringView view, double available, int room) {
    QStringList lines;
    bool more = false;
    // The text's own lines are walked one at a time, never listed: a text of millions of line
    // feeds is drawn as its first lines, with nothing held for the others.
    for (const QStringView ownLine : qTokenize(view, u'\n')) {
        if (static_cast<int>(lines.size()) >= room) {
            more = !ownLine.trimmed().isEmpty();
            if (more)
                break;
            continue;
        }
        // No cell shows more of a line than its start: a line of megabytes is not copied and
        // measured whole each time its cell is drawn.
        constexpr qsizetype kMostShownChars = 100000;
        const QStringView line = ownLine.first(std::min(ownLine.size(), kMostShownChars));
        QStringList wrapped =
            WrapLines(measure, OneLine(line), available, room - static_cast<int>(lines.size()));
        lines += wrapped.isEmpty() ? QStringList{QString()} : wrapped;
    }
    const QString ellipsis(QChar(0x2026));
    if (more && !lines.back().endsWith(ellipsis)) {
        QString& last = lines.back();
        const int keep = measure.FittingPrefix(last, available - measure.Width(ellipsis));
        last = last.left(std::max(0, keep)) + ellipsis;
    }
    return lines;
}

} // namespace telmo

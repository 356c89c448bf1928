#pragma once

#include <QChar>
#include <QString>
#include <QStringView>
#include <optional>

namespace telmo::app {

// The field separator of a text, guessed from its first lines as a spreadsheet's import
// does: of comma, semicolon, tab and bar, counted outside quoted fields, the one that splits
// the most lines into the same number of fields (the number most of its lines have), so
// that a short or a long line here and there does not throw the guess; on a tie the one
// that makes more fields. A comma when none is found at all.
struct SeparatorGuess {
    QChar separator = u',';
    int lines = 0;    // lines looked at
    int agreeing = 0; // of them, those the separator splits into its usual number of fields
    // Another separator that agrees on nearly as many lines; null when none does.
    QChar runnerUp;
    int runnerUpAgreeing = 0;

    // Nothing while the text, not yet the whole of it, holds fewer lines than are looked at.
    // Lines that start with comment (when not null) are not looked at.
    static std::optional<SeparatorGuess> From(QStringView text, bool whole, QChar comment = QChar());

    // When the guess was close, what was chosen and how to choose the other; else empty.
    QString Note(const QString& fileName) const;
};

} // namespace telmo::app

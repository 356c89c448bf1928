#include "app/ColumnPicker.h"

#include <algorithm>

namespace telmo::app {

bool ColumnPicker::Pick(QStringList& fields) {
    maxFields_ = std::max(maxFields_, static_cast<int>(fields.size()));
    if (!resolved_)
        Resolve(fields);
    if (missing_)
        return false;
    QStringList kept;
    kept.reserve(static_cast<qsizetype>(picked_.size()));
    for (const int c : picked_)
        kept << fields.value(c);
    fields = std::move(kept);
    return true;
}

std::optional<QString> ColumnPicker::Problem(const QString& csvPath) const {
    for (size_t k = 0; k < picked_.size(); ++k) {
        if (picked_[k] >= 0 && picked_[k] < maxFields_)
            continue;
        const QString& want = wanted_[static_cast<qsizetype>(k)];
        bool isNumber = false;
        const int number = want.toInt(&isNumber);
        QStringList listed;
        for (int c = 0; c < maxFields_; ++c)
            listed << QStringLiteral("%1 \"%2\"").arg(c + 1).arg(headings_.value(c));
        return QStringLiteral("--columns: %1 has no column %2; give headings of line 1 or numbers "
                              "from 1 to %3: %4. Nothing was printed.")
            .arg(csvPath, isNumber ? QString::number(number) : QStringLiteral("headed \"%1\"").arg(want))
            .arg(maxFields_)
            .arg(listed.join(QStringLiteral(", ")));
    }
    return std::nullopt;
}

void ColumnPicker::Resolve(const QStringList& headings) {
    resolved_ = true;
    headings_ = headings;
    for (const QString& want : wanted_) {
        bool isNumber = false;
        const int number = want.toInt(&isNumber);
        int index = -1;
        if (isNumber && number >= 1)
            index = number - 1; // checked against the widest record at the end
        else if (!isNumber) {
            index = static_cast<int>(headings.indexOf(want));
            for (int c = 0; index < 0 && c < headings.size(); ++c)
                if (headings[c].trimmed().compare(want, Qt::CaseInsensitive) == 0)
                    index = c;
        }
        missing_ = missing_ || index < 0;
        picked_.push_back(index);
    }
}

} // namespace telmo::app

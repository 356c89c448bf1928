#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace telmo::app {

// The columns asked for, in their order: a number counts from 1, any other text is a heading
// of line 1 (exactly, or else ignoring case). Fields are picked from each record as it is
// read; whether a number names a column is only known once every record has been counted.
class ColumnPicker {
public:
    explicit ColumnPicker(const QStringList& wanted) : wanted_(wanted) {}

    // The fields of a record to print, in the order asked for; nothing once a column asked
    // for is known not to be in the file.
    bool Pick(QStringList& fields);

    // After the last record: why the columns cannot be printed, or nothing.
    std::optional<QString> Problem(const QString& csvPath) const;

private:
    void Resolve(const QStringList& headings);

    QStringList wanted_;
    QStringList headings_; // line 1
    std::vector<int> picked_;
    bool resolved_ = false;
    bool missing_ = false;
    int maxFields_ = 0;
};

} // namespace telmo::app

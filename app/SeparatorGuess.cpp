#include "app/SeparatorGuess.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <vector>

namespace telmo::app {
namespace {

constexpr size_t kLinesLooked = 20;
constexpr std::array<char16_t, 4> kCandidates = {u',', u';', u'\t', u'|'};

QString Named(QChar separator) {
    return separator == u'\t' ? QStringLiteral("tab") : QString(separator);
}

} // namespace

std::optional<SeparatorGuess> SeparatorGuess::From(QStringView text, bool whole, QChar comment) {
    std::vector<std::array<int, 4>> counts(1, std::array<int, 4>{});
    bool quoted = false;
    bool lineStart = true, commentLine = false;
    for (qsizetype i = 0; i < text.size() && counts.size() <= kLinesLooked; ++i) {
        const QChar ch = text[i];
        if (lineStart)
            commentLine = !comment.isNull() && ch == comment;
        lineStart = false;
        if (commentLine) {
            if (ch == u'\n')
                lineStart = true;
        } else if (ch == u'"') {
            quoted = !quoted; // a doubled quote toggles twice
        } else if (!quoted && ch == u'\n') {
            counts.push_back({});
            lineStart = true;
        } else if (!quoted) {
            for (size_t k = 0; k < kCandidates.size(); ++k)
                if (ch == kCandidates[k])
                    ++counts.back()[k];
        }
    }
    if (!whole && counts.size() <= kLinesLooked)
        return std::nullopt;
    // A last line cut off by the look-ahead, or an empty one after the final line end, is left out.
    if (counts.size() > 1 && (counts.size() > kLinesLooked || text.endsWith(u'\n')))
        counts.pop_back();

    struct Score {
        QChar separator;
        int agreeing = 0; // lines with the usual count
        int usual = 0;    // the count most lines with any have
    };
    std::vector<Score> scores;
    for (size_t k = 0; k < kCandidates.size(); ++k) {
        QHash<int, int> lines; // count -> lines with it
        for (const auto& line : counts)
            if (line[k] > 0)
                ++lines[line[k]];
        Score score{kCandidates[k]};
        for (auto it = lines.cbegin(); it != lines.cend(); ++it)
            if (it.value() > score.agreeing || (it.value() == score.agreeing && it.key() > score.usual)) {
                score.agreeing = it.value();
                score.usual = it.key();
            }
        scores.push_back(score);
    }
    const auto better = [](const Score& a, const Score& b) {
        return a.agreeing != b.agreeing ? a.agreeing > b.agreeing : a.usual > b.usual;
    };
    std::stable_sort(scores.begin(), scores.end(), better);
    SeparatorGuess guess;
    guess.lines = static_cast<int>(counts.size());
    if (scores[0].agreeing == 0)
        return guess;
    guess.separator = scores[0].separator;
    guess.agreeing = scores[0].agreeing;
    // Close: the other agrees on at least four lines in five of those the chosen one does.
    if (scores[1].agreeing > 0 && scores[1].agreeing * 5 >= scores[0].agreeing * 4) {
        guess.runnerUp = scores[1].separator;
        guess.runnerUpAgreeing = scores[1].agreeing;
    }
    return guess;
}

QString SeparatorGuess::Note(const QString& fileName) const {
    if (runnerUp.isNull())
        return QString();
    return QStringLiteral("%1: fields taken as separated by %2 (it splits %3 of the first %4 lines alike); "
                          "%5 would split %6 of them alike: give --delimiter %5 if that is the separator")
        .arg(fileName, Named(separator))
        .arg(agreeing)
        .arg(lines)
        .arg(Named(runnerUp))
        .arg(runnerUpAgreeing);
}

} // namespace telmo::app

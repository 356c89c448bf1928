#include "app/TerminalProgress.h"
#include "support/CommandRun.h"

#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace {

using telmo::app::TerminalProgress;

// What `write` wrote to a stream in memory.
std::string Written(const std::function<void(std::FILE*)>& write) {
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* f = ::open_memstream(&buffer, &size);
    write(f);
    std::fclose(f);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

// At most five times a second, the last page with the rate after the first and the time left at it;
// nothing off a terminal or without pages.
TEST(TerminalProgressTest, RewritesOneLineWithRateAndTimeLeftOnATerminalOnly) {
    EXPECT_EQ(Written([](std::FILE* f) {
                  double now = 100;
                  TerminalProgress progress(f, true, [&now] { return now; });
                  // Page 1 starts the clock, page 2 comes too soon after it.
                  for (const auto& [time, page] : {std::pair(100.0, 1), {100.1, 2}, {102.0, 21}, {104.0, 41}})
                      now = time, progress.PageDone(page, 41);
                  progress.Finish();
              }),
              "\rpage 1 of 41"
              "\rpage 21 of 41, 10 pages/s, 2 s left   "
              "\rpage 41 of 41, 10 pages/s, 0 s left   \n");
    EXPECT_EQ(Written([](std::FILE* f) {
                  TerminalProgress off = TerminalProgress::ForStream(f); // a stream in memory is no terminal
                  off.PageDone(1, 2);
                  off.PageDone(2, 2);
                  TerminalProgress none(f, true, [] { return 0.0; });
                  none.PageDone(0, 0);
              }),
              "");
}
// Through the command on a pseudo-terminal the line shows (off one, only where the report went).
TEST(TerminalProgressTest, TheCommandShowsItOnATerminal) {
    QTemporaryDir dir;
    const QString csv = telmo::test::WriteFile(dir.filePath("t.csv"), telmo::test::TableCsv(201, 2));
    const QString command =
        QString("'%1' '%2' --pdf '%3'").arg(TELMO_REPORT_BINARY, csv, dir.filePath("t.pdf"));
    const auto tty = telmo::test::RunProgram("script", {"-qec", command, "/dev/null"},
                                             QProcessEnvironment::systemEnvironment());
    ASSERT_EQ(tty.exitCode, 0) << tty.err.toStdString();
    EXPECT_TRUE(tty.out.contains("\rpage 4 of 4") && tty.out.contains("wrote 4 pages"))
        << tty.out.toStdString();
}

} // namespace

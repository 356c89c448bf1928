// The report command end to end: a 100,000 x 10 CSV file into its PDF with
// `telmo-report --pdf`, the whole process timed (start, reading the file, building the grid,
// layout, printing every page, writing the PDF). Build in Release:
//   cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release && cmake --build build-release -j2 --target
//   telmo_report_bench telmo-report && build-release/bench/telmo_report_bench
#include "bench/PdfPages.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>

namespace {

// An inventory-like table: codes, words, a quoted field with a comma in it, whole numbers
// and amounts, from a fixed-seed generator so that every run reads the same bytes.
QByteArray InventoryCsv(int rows) {
    uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    static const char* const kCategories[] = {"Garden",    "Plumbing",   "Tools",
                                              "Fasteners", "Electrical", "Paint"};
    QByteArray csv;
    csv.reserve(rows * 80);
    csv += "Item,Description,Category,Supplier,Unit,On hand,Reserved,Unit cost,Value,Location\n";
    for (int r = 1; r < rows; ++r) {
        const char* category = kCategories[next() % 6];
        const unsigned onHand = next() % 1000;
        const unsigned reserved = onHand == 0 ? 0 : next() % (onHand + 1);
        const double cost = static_cast<double>(next() % 100000) / 100.0;
        char line[256];
        std::snprintf(line, sizeof line,
                      "A%06d,\"%s part %06d, boxed\",%s,Supplier %02u,pcs,%u,%u,%.2f,%.2f,R%02u-S%u\n", r,
                      category, r, category, next() % 40, onHand, reserved, cost, cost * onHand, next() % 30,
                      next() % 10);
        csv += line;
    }
    return csv;
}

struct Fixture {
    QTemporaryDir dir;
    QString csv;
    double csvMegabytes = 0;
};

Fixture& TheFixture() {
    static Fixture f = [] {
        Fixture fixture;
        fixture.csv = fixture.dir.filePath(QStringLiteral("inventory-100k.csv"));
        QFile file(fixture.csv);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        const QByteArray bytes = InventoryCsv(100000);
        file.write(bytes);
        fixture.csvMegabytes = static_cast<double>(bytes.size()) / 1e6;
        return fixture;
    }();
    return f;
}

void BM_ReportCommandCsvToPdf(benchmark::State& st) {
    Fixture& f = TheFixture();
    const QString pdf = f.dir.filePath(QStringLiteral("inventory-100k.pdf"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), f.dir.path());
    for (auto _ : st) {
        QFile::remove(pdf);
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(TELMO_REPORT_BINARY),
                      {f.csv, QStringLiteral("--pdf"), pdf, QStringLiteral("--title1"),
                       QStringLiteral("Inventory"), QStringLiteral("--paper"), QStringLiteral("A4")});
        if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            st.SkipWithError(
                ("telmo-report failed: " + process.readAllStandardError().toStdString()).c_str());
            return;
        }
    }
    st.counters["pages"] = telmo::bench::PdfPages(pdf);
    st.counters["csv_MB"] = f.csvMegabytes;
    st.counters["pdf_MB"] = static_cast<double>(QFileInfo(pdf).size()) / 1e6;
}
BENCHMARK(BM_ReportCommandCsvToPdf)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ComputeStatistics("min",
                        [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

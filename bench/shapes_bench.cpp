// The report command end to end on real-looking tables of several shapes: for each, the
// wall time (median of the runs), the pages and the peak resident memory of the
// telmo-report process (ru_maxrss of that child, from wait4), of the PDF run and of a
// --layout run that reads, fills and paginates the grid without printing. Beside them the
// grid's own size: the bytes its cell texts, their headers, the cells' pool offsets and the
// row and column properties take in the grid the command fills (built here in-process by the
// same reader and builder, the room kept for growth left out), and the margin, peak minus
// grid, against the 64 MB the command may use beyond its grid. With --office it converts the
// same file with the office suite in the same run (`soffice --headless --convert-to pdf`)
// and prints the ratio. With --spool it also prints the same report to the queue pdfout of a
// private CUPS scheduler (scripts/private-cups.sh) and times it until the queue is idle, the
// job's PDF in the backend's folder: seconds, the ratio to the --pdf run, and the command's peak.
// Build in Release and run:
//   build-release/bench/telmo_shapes_bench [--runs N] [--office] [--spool] [--shapes real-20k,wide-2k]
//                                          [--keep DIR]
#include "app/CsvReader.h"
#include "app/ReportGrid.h"
#include "bench/PdfPages.h"
#include "bench/RealCsv.h"
#include "platform/grid/GridControl.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Shape {
    const char* name;
    std::function<QByteArray()> csv;
    QStringList extra; // options beyond --pdf
    bool office;       // worth converting with the office suite too
    int exitCode = 0;  // 2: the command refuses the file after reading it
};

struct Run {
    double seconds = -1;
    long maxRssKb = 0;
    int status = -1;
};

// Runs argv[0] with the environment given, waits for it alone and takes its own usage.
// Linux starts a spawned program's peak at the peak of the process it was spawned from (the
// spawn shares this process's memory until the exec), so this process stays small: the
// tables are written and the grids built by helper runs of this program.
Run Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
          const char* out = "/dev/null") {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.maxRssKb = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

std::vector<std::string> Environment(const QString& runtimeDir) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "DISPLAY=", 8) == 0 || std::strncmp(*e, "WAYLAND_DISPLAY=", 16) == 0 ||
            std::strncmp(*e, "QT_QPA_PLATFORM=", 16) == 0 || std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) == 0)
            continue;
        env.emplace_back(*e);
    }
    env.emplace_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("XDG_RUNTIME_DIR=" + runtimeDir.toStdString());
    return env;
}

std::vector<Shape> Shapes() {
    using telmo::bench::RealCsv;
    return {
        {"real-20k", [] { return RealCsv::Orders(20000); }, {}, true},
        {"real-100k", [] { return RealCsv::Orders(100000); }, {}, true},
        {"wide-2k", [] { return RealCsv::Wide(2000, 60); }, {}, true},
        // Landscape keeps it within the 32,766 pages a report may have.
        {"tall-1m", [] { return RealCsv::Orders(1000000); }, {QStringLiteral("--landscape")}, false},
        // More columns than one report lays out: refused once read, its peak still counts.
        {"row-300k",
         [] { return RealCsv::OneRow(300000); },
         {QStringLiteral("--fixed-rows"), QStringLiteral("0")},
         false,
         2},
        // Long fields: one near the 16 MB limit, one of millions of line feeds, 200 of 1 MB.
        {"field-15m", [] { return "a,b\nx," + QByteArray(15 << 20, 'y') + '\n'; }, {}, false},
        {"lines-7m", [] { return "a,b\nx,\"" + QByteArray("y\n").repeated(7 << 20) + "\"\n"; }, {}, false},
        {"fields-200x1m",
         [] {
             QByteArray csv = "a,b\n";
             for (int r = 0; r < 200; ++r)
                 csv += 'r' + QByteArray::number(r) + ',' + QByteArray(1 << 20, char('a' + r % 26)) + '\n';
             return csv;
         },
         {},
         false},
    };
}

// Helper run: writes the table of a shape.
int WriteShape(const QString& name, const QString& csv) {
    for (const Shape& shape : Shapes()) {
        if (name != QLatin1String(shape.name))
            continue;
        const QByteArray bytes = shape.csv();
        QFile file(csv);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? 0 : 1;
    }
    return 1;
}

// Helper run: prints the grid's own size for a file, filled as the command fills it.
int PrintGridBytes(int argc, char** argv, const QString& csv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // the grid measures its texts with the fonts
    telmo::app::ReportGridBuilder builder{telmo::app::GridOptions{}};
    telmo::app::CsvError error;
    if (!telmo::app::ReadCsvFile(
            csv, [&builder](QStringList& fields) { builder.Add(fields); }, error, QChar()))
        return 1;
    std::printf("%zu\n", builder.Finish()->StorageBytesInUse());
    return 0;
}

// A private scheduler for --spool, stopped when this program ends (its --owner).
struct Scheduler {
    std::string server, root, out;
    bool Start() {
        const std::string command =
            std::string("sh ") + TELMO_PRIVATE_CUPS_SCRIPT + " start --owner " + std::to_string(getpid());
        FILE* script = popen(command.c_str(), "r");
        if (!script)
            return false;
        char line[4096];
        while (std::fgets(line, sizeof line, script)) {
            std::string text(line);
            while (!text.empty() && text.back() == '\n')
                text.pop_back();
            const size_t equals = text.find('=');
            const std::string name = text.substr(0, equals), value = text.substr(equals + 1);
            if (name == "CUPS_SERVER")
                server = value;
            else if (name == "TELMO_CUPS_ROOT")
                root = value;
            else if (name == "TELMO_CUPS_OUT")
                out = value;
        }
        return pclose(script) == 0 && !server.empty();
    }
    ~Scheduler() {
        if (!root.empty())
            std::system((std::string("sh ") + TELMO_PRIVATE_CUPS_SCRIPT + " stop " + root).c_str());
    }
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--write") == 0)
        return WriteShape(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (argc == 3 && std::strcmp(argv[1], "--grid-bytes") == 0)
        return PrintGridBytes(argc, argv, QString::fromLocal8Bit(argv[2]));
    int runs = 3;
    bool office = false, spool = false;
    QStringList only;
    QString keep;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--runs") && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == QLatin1String("--office"))
            office = true;
        else if (arg == QLatin1String("--spool"))
            spool = true;
        else if (arg == QLatin1String("--shapes") && i + 1 < argc)
            only = QString::fromLocal8Bit(argv[++i]).split(QLatin1Char(','));
        else if (arg == QLatin1String("--keep") && i + 1 < argc)
            keep = QString::fromLocal8Bit(argv[++i]);
        else {
            std::fprintf(
                stderr,
                "usage: %s [--runs N] [--office] [--spool] [--shapes real-20k,real-100k,wide-2k,tall-1m,"
                "row-300k,field-15m,lines-7m,fields-200x1m] [--keep DIR]\n",
                argv[0]);
            return 2;
        }
    }
    QTemporaryDir tmp;
    const QString dir = keep.isEmpty() ? tmp.path() : keep;
    QDir().mkpath(dir);
    std::vector<std::string> env = Environment(tmp.path());
    Scheduler scheduler;
    if (spool) {
        if (!scheduler.Start()) {
            std::fprintf(stderr, "--spool: the private CUPS scheduler did not start\n");
            return 1;
        }
        env.push_back("CUPS_SERVER=" + scheduler.server);
    }
    const std::vector<std::string> waitIdle = {"sh", TELMO_PRIVATE_CUPS_SCRIPT, "wait-idle", "600"};
    constexpr double kMarginTargetMB = 64;
    std::printf("%-10s %7s %8s %6s %8s %9s %7s %9s %5s %8s %9s %6s", "shape", "csv_MB", "seconds", "pages",
                "peak_MB", "layout_MB", "grid_MB", "margin_MB", "<=64", "pdf_MB", "office_s", "ratio");
    if (spool)
        std::printf(" %8s %6s %6s %8s %8s", "spool_s", "x_pdf", "pages", "peak_MB", "job_MB");
    std::printf("\n");
    for (const Shape& shape : Shapes()) {
        if (!only.isEmpty() && !only.contains(QLatin1String(shape.name)))
            continue;
        const QString csv = dir + QLatin1Char('/') + QLatin1String(shape.name) + QStringLiteral(".csv");
        if (Spawn({argv[0], "--write", shape.name, csv.toStdString()}, env).status != 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(csv));
            return 1;
        }
        const QString pdf = dir + QLatin1Char('/') + QLatin1String(shape.name) + QStringLiteral(".pdf");
        std::vector<std::string> args = {TELMO_REPORT_BINARY, csv.toStdString(), "--pdf",   pdf.toStdString(),
                                         "--title1",          "Orders",          "--paper", "A4"};
        for (const QString& e : shape.extra)
            args.push_back(e.toStdString());
        std::vector<double> seconds;
        long peak = 0;
        bool failed = true;
        for (int i = 0; i < runs; ++i) {
            QFile::remove(pdf);
            const Run run = Spawn(args, env);
            if (run.status != shape.exitCode) {
                std::fprintf(stderr, "%s: telmo-report exited %d\n", shape.name, run.status);
                failed = true;
                break;
            }
            seconds.push_back(run.seconds);
            failed = false;
            peak = std::max(peak, run.maxRssKb);
        }
        if (failed)
            continue;
        std::vector<std::string> layoutArgs;
        for (const std::string& a : args)
            layoutArgs.push_back(a == "--pdf" ? "--layout" : a);
        layoutArgs.erase(std::find(layoutArgs.begin(), layoutArgs.end(), "--layout") + 1); // the PDF's name
        const Run layout = Spawn(layoutArgs, env);
        const QString gridOut = dir + QStringLiteral("/grid-bytes.txt");
        double gridMB = -1;
        if (Spawn({argv[0], "--grid-bytes", csv.toStdString()}, env, qPrintable(gridOut)).status == 0) {
            QFile file(gridOut);
            if (file.open(QIODevice::ReadOnly))
                gridMB = file.readAll().trimmed().toDouble() / (1024.0 * 1024.0);
        }
        double officeSeconds = -1;
        if (office && shape.office) {
            const QString outDir = dir + QStringLiteral("/office");
            QDir().mkpath(outDir);
            std::vector<double> times;
            for (int i = 0; i < runs; ++i) {
                const Run run = Spawn({"soffice", "--headless", "--convert-to", "pdf", "--outdir",
                                       outDir.toStdString(), csv.toStdString()},
                                      env);
                if (run.status != 0) {
                    std::fprintf(stderr, "%s: soffice exited %d\n", shape.name, run.status);
                    break;
                }
                times.push_back(run.seconds);
            }
            officeSeconds = Median(times);
        }
        const double median = Median(seconds);
        const double peakMB = peak / 1024.0, margin = peakMB - gridMB;
        std::printf("%-10s %7.2f %8.2f %6d %8.1f %9.1f %7.1f %9.1f %5s %8.2f", shape.name,
                    QFileInfo(csv).size() / 1e6, median,
                    shape.exitCode == 0 ? telmo::bench::PdfPages(pdf) : 0, peakMB, layout.maxRssKb / 1024.0,
                    gridMB, margin, margin <= kMarginTargetMB ? "yes" : "NO", QFileInfo(pdf).size() / 1e6);
        if (officeSeconds > 0)
            std::printf(" %9.2f %5.1fx", officeSeconds, officeSeconds / median);
        else
            std::printf(" %9s %6s", "-", "-");
        if (spool && shape.exitCode == 0) {
            // The same report to the queue, until the scheduler has handed the job to its
            // backend and that has written it out.
            std::vector<std::string> spoolArgs = args;
            const auto at = std::find(spoolArgs.begin(), spoolArgs.end(), "--pdf");
            *at = "--printer";
            *(at + 1) = "pdfout";
            std::vector<double> spoolSeconds;
            long spoolPeak = 0;
            for (int i = 0; i < runs; ++i) {
                const Run run = Spawn(spoolArgs, env);
                const Run idle = Spawn(waitIdle, env);
                if (run.status != 0 || idle.status != 0) {
                    std::fprintf(stderr, "%s: telmo-report --printer exited %d\n", shape.name, run.status);
                    break;
                }
                spoolSeconds.push_back(run.seconds + idle.seconds);
                spoolPeak = std::max(spoolPeak, run.maxRssKb);
            }
            // The newest job the backend wrote.
            const QFileInfoList jobs =
                QDir(QString::fromStdString(scheduler.out))
                    .entryInfoList({QStringLiteral("job-*.pdf")}, QDir::Files, QDir::Time);
            const double spoolMedian = Median(spoolSeconds);
            std::printf(" %8.2f %5.2fx %6d %8.1f %8.2f", spoolMedian, spoolMedian / median,
                        jobs.isEmpty() ? 0 : telmo::bench::PdfPages(jobs.first().filePath()),
                        spoolPeak / 1024.0, jobs.isEmpty() ? 0 : jobs.first().size() / 1e6);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}

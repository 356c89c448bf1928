// The report command end to end on real-looking tables of several shapes: for each, the
// wall time (median of the runs), the pages and the peak resident memory of the
// telmo-report process (ru_maxrss of that child, from wait4). With --office it converts the
// same file with the office suite in the same run (`soffice --headless --convert-to pdf`)
// and prints the ratio. Build in Release and run:
//   build-release/bench/telmo_shapes_bench [--runs N] [--office] [--shapes real-20k,wide-2k] [--keep DIR]
#include "bench/PdfPages.h"
#include "bench/RealCsv.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
#include <vector>

extern char** environ;

namespace {

struct Shape {
    const char* name;
    std::function<QByteArray()> csv;
    QStringList extra; // options beyond --pdf
    bool office;       // worth converting with the office suite too
};

struct Run {
    double seconds = -1;
    long maxRssKb = 0;
    int status = -1;
};

// Runs argv[0] with the environment given, waits for it alone and takes its own usage.
Run Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env) {
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
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
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

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    using telmo::bench::RealCsv;
    int runs = 3;
    bool office = false;
    QStringList only;
    QString keep;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--runs") && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == QLatin1String("--office"))
            office = true;
        else if (arg == QLatin1String("--shapes") && i + 1 < argc)
            only = QString::fromLocal8Bit(argv[++i]).split(QLatin1Char(','));
        else if (arg == QLatin1String("--keep") && i + 1 < argc)
            keep = QString::fromLocal8Bit(argv[++i]);
        else {
            std::fprintf(stderr,
                         "usage: %s [--runs N] [--office] [--shapes real-20k,real-100k,wide-2k,tall-1m,"
                         "row-300k] [--keep DIR]\n",
                         argv[0]);
            return 2;
        }
    }
    const std::vector<Shape> shapes = {
        {"real-20k", [] { return RealCsv::Orders(20000); }, {}, true},
        {"real-100k", [] { return RealCsv::Orders(100000); }, {}, true},
        {"wide-2k", [] { return RealCsv::Wide(2000, 60); }, {}, true},
        // Landscape keeps it within the 32,766 pages a report may have.
        {"tall-1m", [] { return RealCsv::Orders(1000000); }, {QStringLiteral("--landscape")}, false},
        {"row-300k",
         [] { return RealCsv::OneRow(300000); },
         {QStringLiteral("--fixed-rows"), QStringLiteral("0")},
         false},
    };
    QTemporaryDir tmp;
    const QString dir = keep.isEmpty() ? tmp.path() : keep;
    QDir().mkpath(dir);
    const std::vector<std::string> env = Environment(tmp.path());
    std::printf("%-10s %8s %9s %7s %9s %9s %10s %7s\n", "shape", "csv_MB", "seconds", "pages", "peak_MB",
                "pdf_MB", "office_s", "ratio");
    for (const Shape& shape : shapes) {
        if (!only.isEmpty() && !only.contains(QLatin1String(shape.name)))
            continue;
        const QString csv = dir + QLatin1Char('/') + QLatin1String(shape.name) + QStringLiteral(".csv");
        const QByteArray bytes = shape.csv();
        {
            QFile file(csv);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(csv));
                return 1;
            }
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
            if (run.status != 0) {
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
        std::printf("%-10s %8.2f %9.2f %7d %9.1f %9.2f", shape.name, bytes.size() / 1e6, median,
                    telmo::bench::PdfPages(pdf), peak / 1024.0, QFileInfo(pdf).size() / 1e6);
        if (officeSeconds > 0)
            std::printf(" %10.2f %6.1fx\n", officeSeconds, officeSeconds / median);
        else
            std::printf(" %10s %7s\n", "-", "-");
        std::fflush(stdout);
    }
    return 0;
}

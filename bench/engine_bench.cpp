// Layout and printing speed on large grids. Build in Release:
//   cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release && cmake --build build-release -j2 --target
//   telmo_bench QT_QPA_PLATFORM=offscreen build-release/bench/telmo_bench
#include "component/JobState.h"
#include "engine/GridSnapshot.h"
#include "engine/PrintAllPages.h"
#include "engine/PrintDataSettings.h"
#include "platform/grid/GridControl.h"
#include "platform/pdf/PdfPainter.h"
#include "platform/pdf/PdfWriter.h"
#include "platform/print/Printer.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Picture.h"
#include "platform/ui/PictureBox.h"
#include "preview/PreviewWindow.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

using namespace telmo;

namespace {

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// rows x 10 columns of short texts at the grid's default sizes, 10 columns fitting an A4 width.
std::shared_ptr<GridControl> MakeGrid(int rows) {
    auto grid = std::make_shared<GridControl>();
    grid->SetRows(rows);
    grid->SetCols(10);
    for (int c = 0; c < 10; ++c)
        grid->SetColWidth(c, 900);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 10; ++c)
            grid->SetTextMatrix(r, c, QString::number(r * 10 + c));
    return grid;
}

void UsePdfPrinter(const QString& file) {
    Printers::SetPdfOutputFile(file);
    Printers::SelectByName(Printers::BuiltInPdfName());
    Printers::Current().SetPaperSize(Printer::kPaperA4);
    Printers::Current().SetOrientation(Printer::kPortrait);
}

void BM_PaginateMillionRows(benchmark::State& st) {
    static auto grid = MakeGrid(1000000);
    UsePdfPrinter(QDir::temp().filePath(QStringLiteral("telmo-bench-unused.pdf")));
    State().SourceGridObj = grid;
    State().FixedRowCount = 1;
    State().IsPreviewMode = true;
    for (auto _ : st)
        CalculagePrintDataSettings();
    st.counters["pages"] = State().TotalPages;
    st.counters["peak_MB"] = PeakMegabytes();
    st.counters["grid_store_MB"] = static_cast<double>(grid->StorageBytes()) / 1e6;
}
BENCHMARK(BM_PaginateMillionRows)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_CopyGridOnePage(benchmark::State& st) {
    static auto grid = MakeGrid(100000);
    State().SourceGridObj = grid;
    State().FixedRowCount = 1;
    GridControl work;
    for (auto _ : st) {
        float sc = 1, ec = 9, sr = 5001, er = 5050;
        CopyGrid(work, sc, ec, sr, er);
        benchmark::DoNotOptimize(work.Picture());
    }
}
BENCHMARK(BM_CopyGridOnePage)->Unit(benchmark::kMicrosecond);

void BM_PrintReportToPdf(benchmark::State& st) {
    const int rows = static_cast<int>(st.range(0));
    auto grid = MakeGrid(rows);
    const QString file = QDir::temp().filePath(QStringLiteral("telmo-bench.pdf"));
    UsePdfPrinter(file);
    State().SourceGridObj = grid;
    State().FixedRowCount = 1;
    State().IsPreviewMode = true; // no progress window: the engine alone
    CalculagePrintDataSettings();
    const double before = PeakMegabytes();
    PictureBox box;
    box.SetBorder(false);
    box.SetAutoSize(true);
    GridControl work;
    for (auto _ : st)
        PrintAllPages(work, box);
    st.counters["pages"] = State().TotalPages;
    st.counters["pages_per_s"] =
        benchmark::Counter(static_cast<double>(State().TotalPages) * static_cast<double>(st.iterations()),
                           benchmark::Counter::kIsRate);
    st.counters["peak_MB"] = PeakMegabytes();
    st.counters["peak_growth_MB"] = PeakMegabytes() - before;
    st.counters["pdf_MB"] = static_cast<double>(QFileInfo(file).size()) / 1e6;
}
BENCHMARK(BM_PrintReportToPdf)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Many small documents in one process, each a title and 20 cells in one face: a Latin face
// (0) and a CJK face with some 16 MB of outlines (1), each document embedding its own subset;
// 20 documents, then 200 more (the face's tables are kept for the process). Each document
// must be the same bytes as the first but for its date and ID. s_per_doc is CPU time.
void BM_SmallPdfDocuments(benchmark::State& st) {
    const bool cjk = st.range(0) == 1;
    const int documents = static_cast<int>(st.range(1));
    const FontSpec spec{.name = cjk ? "Noto Sans CJK SC" : "Arial", .sizePt = 10, .bold = false};
    Picture picture(11000, 15000);
    picture.AddText(QPointF(100, 0), spec, cjk ? QString::fromUtf8("库存报表") : QStringLiteral("Inventory"));
    for (int row = 0; row < 20; ++row)
        picture.AddText(
            QPointF(100, 500 + row * 300), spec,
            (cjk ? QString::fromUtf8("第%1行 螺丝 钉子 五金") : QStringLiteral("Row %1 screws nails"))
                .arg(row));
    const QRegularExpression dateAndId(QStringLiteral("\\(D:.*\\)|/ID \\[.*\\]"));
    QString first;
    for (auto _ : st)
        for (int d = 0; d < documents; ++d) {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            PdfWriter writer(buffer, QStringLiteral("bench"), QString());
            writer.BeginPage(QSizeF(595, 842), QPointF(36, 36));
            PdfPainter(writer).Play(picture);
            if (!writer.Finish())
                st.SkipWithError("the PDF could not be written");
            const QString bytes = QString::fromLatin1(buffer.data()).remove(dateAndId);
            if (first.isEmpty())
                first = bytes;
            else if (bytes != first)
                st.SkipWithError("a document differs from the first");
        }
    st.counters["s_per_doc"] = benchmark::Counter(documents, benchmark::Counter::kIsIterationInvariantRate |
                                                                 benchmark::Counter::kInvert);
    st.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_SmallPdfDocuments)
    ->Args({0, 20})
    ->Args({1, 20})
    ->Args({1, 200})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::SetBatchMode(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    State().SourceGridObj.reset();
    return 0;
}

// Preview speed on a large grid: opening the window on page 1, and moving to the first, the
// last and a middle page. Build in Release and run on the offscreen platform:
//   cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release && cmake --build build-release -j2 --target
//   telmo_preview_bench && build-release/bench/telmo_preview_bench
#include "component/JobState.h"
#include "platform/grid/GridControl.h"
#include "platform/print/Printer.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/PictureBox.h"
#include "preview/PreviewWindow.h"

#include <QApplication>
#include <QDir>
#include <benchmark/benchmark.h>

using namespace telmo;

namespace {

// 1,000,000 rows x 10 columns narrow enough for an A4 width, assigned as the source grid once.
void UseMillionRowGrid() {
    static std::shared_ptr<GridControl> grid;
    if (!grid) {
        grid = std::make_shared<GridControl>();
        grid->SetRows(1000000);
        grid->SetCols(10);
        for (int c = 0; c < 10; ++c)
            grid->SetColWidth(c, 900);
        for (int r = 0; r < grid->Rows(); ++r)
            for (int c = 0; c < 10; ++c)
                grid->SetTextMatrix(r, c, QString::number(r * 10 + c));
        Printers::SetPdfOutputFile(QDir::temp().filePath(QStringLiteral("telmo-preview-bench.pdf")));
        Printers::SelectByName(Printers::BuiltInPdfName());
        Printers::Current().SetPaperSize(Printer::kPaperA4);
        Printers::Current().SetOrientation(Printer::kPortrait);
    }
    JobState& s = State();
    s.SourceGridObj = grid;
    s.FixedRowCount = 1;
    s.IsPreviewMode = true;
}

PreviewWindow& OpenPreview() {
    PreviewWindow& preview = State().frmPreview.Get();
    preview.show();
    QApplication::processEvents();
    return preview;
}

void ClosePreview() {
    State().frmPreview.Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// From the call to a window showing page 1 of the laid-out report.
void BM_PreviewOpensOnPage1(benchmark::State& st) {
    UseMillionRowGrid();
    for (auto _ : st) {
        PreviewWindow& preview = OpenPreview();
        benchmark::DoNotOptimize(preview.pbData->Picture());
        st.PauseTiming();
        st.counters["pages"] = State().TotalPages;
        ClosePreview();
        st.ResumeTiming();
    }
}
BENCHMARK(BM_PreviewOpensOnPage1)->Unit(benchmark::kMillisecond)->Iterations(5);

// One click of a navigation button: 0 first (from the last page), 3 last, 2 next into the
// middle of the report. Each click composes its page and lets the window repaint.
void BM_PreviewMovesToPage(benchmark::State& st) {
    UseMillionRowGrid();
    PreviewWindow& preview = OpenPreview();
    const auto button = static_cast<int16_t>(st.range(0));
    JobState& s = State();
    for (auto _ : st) {
        st.PauseTiming();
        if (button == 0)
            s.CurrentPage = s.TotalPages;
        else if (button == 2)
            s.CurrentPage = static_cast<int16_t>(s.TotalPages / 2);
        else
            s.CurrentPage = 1;
        st.ResumeTiming();
        preview.cmdMove_Click(button);
        QApplication::processEvents();
    }
    st.counters["page"] = s.CurrentPage;
    ClosePreview();
}
BENCHMARK(BM_PreviewMovesToPage)->Arg(0)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

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

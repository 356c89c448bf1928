// Preview speed on a large grid: opening the window on page 1, moving to the first, the last
// and a middle page, going to a page by its number, a zoom step, opening the thumbnails and
// scrolling them (against a ten-page report). Build in Release and run on the offscreen platform:
//   cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release && cmake --build build-release -j2 --target
//   telmo_preview_bench && build-release/bench/telmo_preview_bench
#include "component/JobState.h"
#include "platform/grid/GridControl.h"
#include "platform/print/Printer.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/PictureBox.h"
#include "preview/PreviewWindow.h"
#include "preview/ThumbnailPanel.h"

#include <QApplication>
#include <QDir>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <map>

using namespace telmo;

namespace {

// rows x 10 columns narrow enough for an A4 width, made once, assigned as the source grid.
void UseGrid(int rows) {
    static std::map<int, std::shared_ptr<GridControl>> grids;
    std::shared_ptr<GridControl>& grid = grids[rows];
    if (!grid) {
        grid = std::make_shared<GridControl>();
        grid->SetRows(rows);
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
    s.RefreshPending = false;
    s.FixedRowCount = 1;
    s.IsPreviewMode = true;
}

void UseMillionRowGrid() {
    UseGrid(1000000);
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

// Going to a page by its number, as the page box does: pages far apart in turn.
void BM_PreviewGoesToPage(benchmark::State& st) {
    UseMillionRowGrid();
    PreviewWindow& preview = OpenPreview();
    const int pages = State().TotalPages;
    const int targets[] = {pages / 4, pages, pages / 2, 2, pages - 1};
    size_t next = 0;
    for (auto _ : st) {
        preview.GoToPage(targets[next++ % std::size(targets)]);
        QApplication::processEvents();
    }
    st.counters["pages"] = pages;
    ClosePreview();
}
BENCHMARK(BM_PreviewGoesToPage)->Unit(benchmark::kMillisecond);

// One zoom step, up from 25 to 400 per cent and back down, with the repaint.
void BM_PreviewZoomStep(benchmark::State& st) {
    UseMillionRowGrid();
    PreviewWindow& preview = OpenPreview();
    preview.GoToPage(State().TotalPages / 2);
    preview.SetZoom(0.25f);
    QApplication::processEvents();
    bool up = true;
    for (auto _ : st) {
        if (up)
            preview.ZoomIn();
        else
            preview.ZoomOut();
        QApplication::processEvents();
        const float zoom = preview.ZoomFactor();
        up = zoom < 4.0f && (up || zoom <= 0.25f);
    }
    ClosePreview();
}
BENCHMARK(BM_PreviewZoomStep)->Unit(benchmark::kMillisecond);

// Lets the thumbnails paint and compose every page in view.
void SettleThumbnails(const ThumbnailPanel& panel) {
    for (int turns = 0; turns < 3 || panel.IsComposing(); ++turns)
        QApplication::processEvents();
}

// From the click on the thumbnails switch to every thumbnail in view composed.
void BM_ThumbnailsOpen(benchmark::State& st) {
    UseMillionRowGrid();
    PreviewWindow& preview = OpenPreview();
    preview.GoToPage(State().TotalPages / 2);
    ThumbnailPanel& panel = *preview.lstThumbnails;
    for (auto _ : st) {
        preview.ShowThumbnails(true);
        SettleThumbnails(panel);
        st.PauseTiming();
        st.counters["composed"] = panel.ComposedPages();
        preview.ShowThumbnails(false);
        panel.Reset(0); // nothing kept from the last opening
        QApplication::processEvents();
        st.ResumeTiming();
    }
    ClosePreview();
}
BENCHMARK(BM_ThumbnailsOpen)->Unit(benchmark::kMillisecond)->Iterations(10);

// Scrolling the thumbnails a screen further, new pictures composed, on a report of ten pages
// and on the million-row report.
void BM_ThumbnailsScroll(benchmark::State& st) {
    UseGrid(static_cast<int>(st.range(0)));
    PreviewWindow& preview = OpenPreview();
    ThumbnailPanel& panel = *preview.lstThumbnails;
    preview.ShowThumbnails(true);
    SettleThumbnails(panel);
    QScrollBar* bar = panel.verticalScrollBar();
    for (auto _ : st) {
        // Nothing kept: every step composes the pages it brings into view, as in a long report.
        st.PauseTiming();
        panel.Reset(panel.PageCount());
        st.ResumeTiming();
        // Down a screen at a time, and back to the top at the end.
        bar->setValue(bar->value() >= bar->maximum() ? 0 : bar->value() + bar->pageStep());
        SettleThumbnails(panel);
    }
    st.counters["pages"] = State().TotalPages;
    ClosePreview();
}
BENCHMARK(BM_ThumbnailsScroll)->Arg(500)->Arg(1000000)->Unit(benchmark::kMillisecond);

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

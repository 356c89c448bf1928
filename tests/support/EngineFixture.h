#pragma once

#include "platform/print/RecordingPrinter.h"

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <vector>

// A failing check shows a QString as its text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace telmo {
class GridControl;
}

namespace telmo::test {

// A reported message box, as the sink caught it.
struct CaughtMessage {
    QString text;
    QString title;
};

// A fresh recording printer, a job state as a new IPrinter leaves it with no titles, no forms
// loaded, and every message box caught instead of shown.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    RecordingPrinter& Recorder() { return *recorder_; }
    // Installs a recording printer with these sizes (the default is US Letter's printable area).
    RecordingPrinter& UsePrinter(float scaleWidth, float scaleHeight, float width = 12240,
                                 float height = 15840);
    // Makes the built-in PDF printer current, writing to pdfPath. Each test ends back on a
    // recording printer, so no real printer outlives the test that chose it.
    Printer& UseBuiltInPdf(const QString& pdfPath);

    // A source grid of rows x cols with uniform sizes and "r<row>c<col>" in every cell,
    // assigned as the job's source grid.
    std::shared_ptr<GridControl> MakeSourceGrid(int rows, int cols, int colWidth = 1000, int rowHeight = 300);

    // What the reported errors appended to the job's error log (a fresh file per test).
    QString LogText() const;

    std::vector<CaughtMessage> messages;

private:
    RecordingPrinter* recorder_ = nullptr;
    QTemporaryDir logDir_;
};

// The rows of 600 twips (4 columns of 1500) that make exactly `bands` row bands; -1 when none do.
int RowsForRowBands(int bands, float scaleHeight);

// Unloads every form of the job state and lets their deletion run.
void UnloadAllForms();

} // namespace telmo::test

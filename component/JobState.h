#pragma once

#include "component/FormHolder.h"
#include "platform/AutomationObject.h"
#include "platform/Conversions.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace telmo {

class PreviewWindow;
class PrintStatusWindow;
class PageSelectionDialog;
class PageSettingsDialog;

// One page of the report: its body rows and columns (whole numbers held as Single) and its
// page number. Row 0 and column 0 are not part of the ranges; every page repeats them.
struct PageBlock {
    float StartRow = 0;
    float EndRow = 0;
    float StartCol = 0;
    float EndCol = 0;
    int16_t PageNo = 0;

    bool operator==(const PageBlock&) const = default;
};

// Pagination modes.
enum PaginationModes : int16_t { kRowsSplit = 1, kOnePage = 2, kColumnsSplit = 3, kRowsAndColumnsSplit = 4 };

// The print job state: every variable through which the parts of the component talk to
// each other. One copy per thread, shared by every IPrinter object on that thread.
struct JobState {
    // Title block.
    QString Title1Message, Title1FontName;
    int16_t Title1FontSize = 0, Title1Alignment = 0;
    QString Title2Message, Title2FontName;
    int16_t Title2FontSize = 0, Title2Alignment = 0;
    QString Title3Message, Title3FontName;
    int16_t Title3FontSize = 0, Title3Alignment = 0;
    QString Title4Message, Title4FontName;
    int16_t Title4FontSize = 0, Title4Alignment = 0;
    QString CurrDateMessage, CurrDateFontName;
    int16_t CurrDateFontSize = 0;
    int32_t HeaderLeftMargin = 0;
    int32_t HeaderRightMargin = 0;
    // Stored as received from the host; only the automation true value (-1) draws the separator.
    AutomationBool TitleSepratorFlag = kAutomationFalse;

    // Report source and run.
    ObjectRef SourceGridObj;
    int16_t FixedRowCount = 0;
    float StartRowValue = 0;
    bool IsPreviewMode = false;
    QString CurrentAction;
    QString ErrorLogFilePath;
    bool PrintDialogAccepted = false;
    int16_t PageSelectionChoice = 0;
    QString PageNoPosition;
    QString DataFontName;
    bool RefreshPending = false;
    // The last print run: pages that went to the printer, and whether the user stopped it.
    int16_t PagesPrinted = 0;
    bool PrintCancelled = false;
    // Errors reported on this thread so far, and how many there were when the run in progress
    // (a ShowPreview or PrintReport call) began: a document of a run that reported an error is
    // not saved as a complete report file.
    uint32_t ErrorsReported = 0;
    uint32_t ErrorsBeforeRun = 0;
    bool RunInProgress = false;
    // The grid of the run in progress, held until the run ends: a host callback may assign
    // another grid (or drop its own) while the run still works on this one.
    ObjectRef RunGrid;
    // The built-in PDF printer's file when the run began: a refused second request does not
    // send the run's report to the file it had chosen for itself.
    QString RunPdfOutputFile;

    // Pagination. The arrays keep an unused element 0, as the page numbers count from 1.
    int16_t PaginationMode = 0;
    int16_t TotalPages = 0;
    int16_t CurrentPage = 0;
    int16_t RowPageEstimate = 0;
    float RowBandCount = 0;
    float ColBandCount = 0;
    std::vector<float> ColBandStart = std::vector<float>(1);
    std::vector<float> ColBandEnd = std::vector<float>(1);
    std::vector<PageBlock> PageBlocks = std::vector<PageBlock>(1);

    // The four forms.
    FormHolder<PreviewWindow> frmPreview;
    FormHolder<PrintStatusWindow> frmPrintStatus;
    FormHolder<PageSelectionDialog> frmPageSelection;
    FormHolder<PageSettingsDialog> frmPageSettings;

    JobState();
    ~JobState();

    // What creating an IPrinter object does to the state: title styles, title margins,
    // FixedRowCount and the separator flag go back to their initial values.
    void ResetOnCreate();
};

// The job state of the calling thread, created zero-filled on first use.
JobState& State();

// Makes the arrays hold entries 0..last, keeping what they hold (an entry appended at a time).
template <class T> void ResizePreserve(std::vector<T>& array, int last) {
    array.resize(static_cast<size_t>(last < 0 ? 0 : last) + 1);
}

} // namespace telmo

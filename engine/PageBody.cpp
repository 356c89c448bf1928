#include "engine/PageBody.h"

#include "component/JobState.h"
#include "component/ReportError.h"
#include "dialogs/PrintStatusWindow.h"
#include "engine/GridSnapshot.h"
#include "platform/Conversions.h"
#include "platform/grid/Grid.h"
#include "platform/print/Printer.h"
#include "platform/ui/PictureBox.h"

#include <QCoreApplication>
#include <cmath>

namespace telmo {

int32_t CentredLeft(float printableWidth, float imageWidth) {
    return ToLong(std::fabs(printableWidth / 2 - imageWidth / 2));
}

void SendDataToPrinter(Grid& grid, PictureBox& pictureBox, float& startCol, float& endCol, float& startRow,
                       float& endRow) {
    try {
        CopyGrid(grid, startCol, endCol, startRow, endRow);
        pictureBox.SetPicture(grid.Picture());
        pictureBox.SetPicture(pictureBox.Image());
        Printer& printer = Printers::Current();
        const int32_t x = CentredLeft(printer.ScaleWidth(), pictureBox.ScaleWidth());
        printer.PaintPicture(pictureBox.Picture(), static_cast<float>(x), 1500);
        if (!State().IsPreviewMode) {
            PrintStatusWindow& status = State().frmPrintStatus.Get();
            status.ProgBar->setValue(status.ProgBar->maximum());
            QCoreApplication::processEvents();
        }
    } catch (...) {
        ReportCurrentException(module::kGeneral, ".SendDataToPrinter");
    }
}

} // namespace telmo

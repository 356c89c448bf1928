#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class QWidget;

namespace telmo {

// The settings the system print dialog exchanges, as a device-mode record.
struct DeviceMode {
    static constexpr int kDeviceNameLength = 32;
    static constexpr uint32_t kOrientationField = 0x0001;
    static constexpr uint32_t kDuplexField = 0x1000;

    QString dmDeviceName; // padded with spaces to 32 characters before the dialog
    int16_t dmSize = 122;
    uint32_t dmFields = 0;
    int16_t dmOrientation = 0;
    int16_t dmPaperSize = 0;
    int16_t dmCopies = 0;
    int16_t dmDuplex = 0;
};

// The system print dialog: shown over owner with the record's settings; true when the user
// confirmed, with the record holding the choice. Tests install their own to play the user.
using PrintDialogRunner = std::function<bool(QWidget* owner, uint32_t flags, DeviceMode& mode)>;
void SetPrintDialogRunner(PrintDialogRunner runner);

// Qt's print dialog over the spooler's printers and the built-in PDF printer.
bool RunSystemPrintDialog(QWidget* owner, uint32_t flags, DeviceMode& mode);

// Lets the user choose the printer and its page settings, and applies the choice to the
// current printer. PrintDialogAccepted becomes true when the user confirmed. Errors are reported.
void ShowPrinterDlg(QWidget* ownerForm, int16_t& flags);

inline constexpr int16_t kPrintSetupFlag = 64;

} // namespace telmo

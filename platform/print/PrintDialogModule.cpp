#include "platform/print/PrintDialogModule.h"

#include "component/JobState.h"
#include "component/ReportError.h"
#include "platform/RuntimeError.h"
#include "platform/print/Printer.h"
#include "platform/ui/UnseenWindows.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <optional>

namespace telmo {
namespace {

// The system dialog as the component runs it for a user: without a display nobody can see or
// answer it, and its modal loop would wait for ever.
bool RunSystemPrintDialogForUser(QWidget* owner, uint32_t flags, DeviceMode& mode) {
    UnseenWindows::CheckCanBeAnswered(err::kPrinterError, QStringLiteral("print dialog"));
    return RunSystemPrintDialog(owner, flags, mode);
}

PrintDialogRunner& Runner() {
    static PrintDialogRunner runner = RunSystemPrintDialogForUser;
    return runner;
}

// Qt's dialog asks, when it is accepted, whether the built-in printer's file may be overwritten.
// The setup form writes nothing, so the question is answered for the user as it comes up.
class OverwriteQuestionAnswer : public QObject {
public:
    explicit OverwriteQuestionAnswer(const QDialog& dialog) : dialog_(dialog) {
        qApp->installEventFilter(this);
    }
    ~OverwriteQuestionAnswer() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = event->type() == QEvent::Show ? qobject_cast<QMessageBox*>(watched) : nullptr;
        if (QAbstractButton* yes = box && AskedBy(*box) ? box->button(QMessageBox::Yes) : nullptr)
            QMetaObject::invokeMethod(yes, &QAbstractButton::click, Qt::QueuedConnection);
        return false;
    }

private:
    bool AskedBy(const QObject& box) const {
        for (const QObject* owner = box.parent(); owner; owner = owner->parent())
            if (owner == &dialog_)
                return true;
        return false;
    }
    const QDialog& dialog_;
};

// The name up to its first zero character.
QString UpToZero(const QString& text) {
    const qsizetype zero = text.indexOf(QChar(0));
    return zero < 0 ? text : text.left(zero);
}

} // namespace

void SetPrintDialogRunner(PrintDialogRunner runner) {
    Runner() = runner ? std::move(runner) : RunSystemPrintDialogForUser;
}

bool RunSystemPrintDialog(QWidget* owner, uint32_t flags, DeviceMode& mode) {
    const QString device = mode.dmDeviceName.trimmed();
    const bool pdf = device == Printers::BuiltInPdfName() || QPrinterInfo::printerInfo(device).isNull();
    QPrinter printer(QPrinter::HighResolution);
    if (pdf) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(Printers::PdfOutputFile());
    } else {
        printer.setPrinterName(device);
    }
    printer.setPageOrientation(mode.dmOrientation == Printer::kLandscape ? QPageLayout::Landscape
                                                                         : QPageLayout::Portrait);
    printer.setDuplex(mode.dmDuplex == Printer::kDuplexLongEdge    ? QPrinter::DuplexLongSide
                      : mode.dmDuplex == Printer::kDuplexShortEdge ? QPrinter::DuplexShortSide
                                                                   : QPrinter::DuplexNone);
    QPrintDialog dialog(&printer, owner);
    dialog.setWindowTitle(QStringLiteral("Print Setup"));
    // The setup form chooses a printer and its page settings only: a page range or selection
    // chosen there would have nothing to apply to, and its button sets up rather than prints.
    std::optional<OverwriteQuestionAnswer> answer;
    if (flags & kPrintSetupFlag) {
        dialog.setOptions(dialog.options() &
                          ~(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintSelection |
                            QAbstractPrintDialog::PrintCurrentPage));
        if (auto* buttons = dialog.findChild<QDialogButtonBox*>())
            if (QPushButton* accept = buttons->button(QDialogButtonBox::Ok))
                accept->setText(QStringLiteral("&Set Up"));
        answer.emplace(dialog);
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    mode.dmDeviceName =
        printer.outputFormat() == QPrinter::PdfFormat ? Printers::BuiltInPdfName() : printer.printerName();
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        Printers::SetPdfOutputFile(printer.outputFileName());
    mode.dmOrientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? Printer::kLandscape
                                                                                      : Printer::kPortrait;
    mode.dmPaperSize = static_cast<int16_t>(printer.pageLayout().pageSize().windowsId());
    mode.dmCopies = static_cast<int16_t>(printer.copyCount());
    switch (printer.duplex()) {
    case QPrinter::DuplexLongSide:
        mode.dmDuplex = Printer::kDuplexLongEdge;
        break;
    case QPrinter::DuplexShortSide:
        mode.dmDuplex = Printer::kDuplexShortEdge;
        break;
    default:
        mode.dmDuplex = Printer::kSimplex;
        break;
    }
    return true;
}

void ShowPrinterDlg(QWidget* ownerForm, int16_t& flags) {
    bool hourglass = false;
    try {
        Printer& current = Printers::Current();
        DeviceMode mode;
        mode.dmDeviceName =
            current.DeviceName().leftJustified(DeviceMode::kDeviceNameLength, QLatin1Char(' '), true);
        mode.dmSize = 122;
        mode.dmFields = DeviceMode::kOrientationField | DeviceMode::kDuplexField;
        mode.dmOrientation = current.Orientation();
        mode.dmDuplex = current.Duplex();
        // Widened as a signed value, like any 16-bit integer made 32 bits wide.
        if (!Runner()(ownerForm, static_cast<uint32_t>(static_cast<int32_t>(flags)), mode))
            return;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        hourglass = true;
        const QString chosen = UpToZero(mode.dmDeviceName).trimmed().toUpper();
        if (chosen != Printers::Current().DeviceName()) {
            // Printer names compare without regard to case; the last match wins.
            QString match;
            for (const QString& name : Printers::InstalledNames())
                if (name.toUpper() == chosen)
                    match = name;
            if (!match.isEmpty())
                Printers::SelectByName(match);
        }
        Printer& printer = Printers::Current();
        printer.SetCopies(mode.dmCopies);
        printer.SetDuplex(mode.dmDuplex);
        printer.SetOrientation(mode.dmOrientation);
        printer.SetPaperSize(mode.dmPaperSize);
        State().PrintDialogAccepted = true;
        QApplication::restoreOverrideCursor();
    } catch (...) {
        if (hourglass)
            QApplication::restoreOverrideCursor();
        ReportCurrentException(module::kPrintDialog, ".ShowPrinterDlg");
    }
}

} // namespace telmo

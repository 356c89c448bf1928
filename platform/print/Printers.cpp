#include "platform/print/Printer.h"

#include "platform/RuntimeError.h"
#include "platform/print/QtPrinter.h"
#include "platform/print/Spooler.h"

#include <QCoreApplication>
#include <QDir>
#include <QPrinterInfo>

namespace telmo {
namespace {

// Per host thread, like the rest of the print job state.
struct PrinterState {
    std::unique_ptr<Printer> current;
    // A printer chosen while the current one has a document open (from a host callback during
    // a run): it takes over when that document has ended, so the document is neither lost nor
    // continued on another printer.
    std::unique_ptr<Printer> next;
    bool pdfListed = true;
    QString pdfOutputFile;
    QString defaultJobName;
    bool tellsSavedFile = true;
};

PrinterState& State() {
    thread_local PrinterState state;
    return state;
}

void ReleaseCurrent() {
    State().next.reset();
    State().current.reset();
}

// A document still open when the host ends must be finished while the application object
// lives: Qt's PDF engine needs the font engines that the application tears down.
void Keep(std::unique_ptr<Printer> printer) {
    if (State().current && State().current->InDocument()) {
        State().next = std::move(printer);
        return;
    }
    State().current = std::move(printer);
    if (State().current && QCoreApplication::instance()) {
        qRemovePostRoutine(&ReleaseCurrent); // once per application object
        qAddPostRoutine(&ReleaseCurrent);
    }
}

} // namespace

Printer& Printers::Current() {
    PrinterState& state = State();
    if (state.next && !state.current->InDocument())
        state.current = std::move(state.next);
    if (!state.current) {
        const QPrinterInfo systemDefault = QPrinterInfo::defaultPrinter();
        Keep(std::make_unique<QtPrinter>(systemDefault.isNull() ? BuiltInPdfName()
                                                                : systemDefault.printerName()));
    }
    return *state.current;
}

// nullptr forgets the current printer; the next use of Current() creates the default one again.
void Printers::SetCurrent(std::unique_ptr<Printer> printer) {
    State().next.reset();
    State().current = std::move(printer);
}

void Printers::SelectByName(const QString& deviceName) {
    // The built-in printer stays selectable when hidden from the list: a host may hide it
    // from the user and still print to a file.
    if (deviceName != BuiltInPdfName() && !QPrinterInfo::availablePrinterNames().contains(deviceName))
        throw RuntimeError(
            err::kPrinterError,
            StandardErrorText(err::kPrinterError) +
                (spooler::SpoolerAnswers()
                     ? QStringLiteral(": no printer named \"%1\"").arg(deviceName)
                     : QStringLiteral(": the print spooler (CUPS at %1) is not running or does "
                                      "not answer, so printer \"%2\" cannot be reached")
                           .arg(spooler::ServerName(), deviceName)));
    // Build the new printer before dropping the old one, so a failure keeps the current printer.
    Keep(std::make_unique<QtPrinter>(deviceName));
}

QStringList Printers::InstalledNames() {
    QStringList names = QPrinterInfo::availablePrinterNames();
    if (State().pdfListed)
        names.append(BuiltInPdfName());
    return names;
}

void Printers::SetBuiltInPdfListed(bool listed) {
    State().pdfListed = listed;
}

void Printers::SetPdfOutputFile(const QString& path) {
    State().pdfOutputFile = path;
}

void Printers::SetTellsSavedFile(bool tells) {
    State().tellsSavedFile = tells;
}

bool Printers::TellsSavedFile() {
    return State().tellsSavedFile;
}

void Printers::SetDefaultJobName(const QString& name) {
    State().defaultJobName = name;
}

QString Printers::DefaultJobName() {
    return State().defaultJobName;
}

QString Printers::PdfOutputFile() {
    PrinterState& state = State();
    if (state.pdfOutputFile.isEmpty())
        return QDir(QDir::tempPath()).filePath(QStringLiteral("telmo-report.pdf"));
    return state.pdfOutputFile;
}

void Printers::EndOpenDocument() {
    try {
        Printer& printer = Current();
        if (printer.InDocument())
            printer.EndDoc();
    } catch (...) {
    }
}

} // namespace telmo

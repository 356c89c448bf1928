#pragma once

#include "platform/ui/DrawingSurface.h"

#include <QStringList>
#include <memory>

namespace telmo {

// The printer as the report sees it: a drawing surface over the printable area of the
// current page, plus the page settings the print dialog exchanges.
class Printer : public DrawingSurface {
public:
    // Windows paper codes and duplex modes, the values the print dialog exchanges.
    enum PaperCode : int16_t { kPaperLetter = 1, kPaperLegal = 5, kPaperA3 = 8, kPaperA4 = 9, kPaperA5 = 11 };
    enum DuplexMode : int16_t { kSimplex = 1, kDuplexLongEdge = 2, kDuplexShortEdge = 3 };
    enum OrientationCode : int16_t { kPortrait = 1, kLandscape = 2 };

    // Paper size in twips.
    virtual float Width() const = 0;
    virtual float Height() const = 0;

    // Ends the page; later drawing goes to a new page. EndDoc right after NewPage adds no blank page.
    virtual void NewPage() = 0;
    // Ends and releases the document.
    virtual void EndDoc() = 0;
    // Ends a document the user stopped part-way. The platform printer keeps none of it: its
    // spooler job is withdrawn, its file not written, since some of the pages would pass for
    // the whole report. A printer with no job to withdraw ends the document as EndDoc does.
    virtual void CancelDoc() { EndDoc(); }
    // The title of the documents started from now on (the PDF's title, the job's name); empty
    // for none, when a PDF takes its file's name.
    virtual void SetDocumentTitle(const QString& title) { (void)title; }
    // True while a document is open: something was drawn since the last EndDoc.
    virtual bool InDocument() const = 0;
    // True while a document is open whose pages would reach the printer or its file; false
    // for one the printer has refused or dropped already (and said so).
    virtual bool HoldsPages() const { return InDocument(); }
    // Raises error 482 when a document started now could not reach the printer: a spooler
    // queue that has gone or refuses jobs. Printers without a spooler behind them always can.
    virtual void CheckReady() {}

    virtual QString DeviceName() const = 0;
    virtual int16_t Orientation() const = 0;
    virtual void SetOrientation(int16_t orientation) = 0;
    virtual int16_t PaperSize() const = 0;
    virtual void SetPaperSize(int16_t paperCode) = 0;
    virtual int16_t Copies() const = 0;
    virtual void SetCopies(int16_t copies) = 0;
    virtual int16_t Duplex() const = 0;
    virtual void SetDuplex(int16_t duplex) = 0;
};

// The printers of this thread: the current printer object every part draws on, and the
// list of installed printers. Tests and hosts may install their own current printer.
class Printers {
public:
    // The current printer; created on first use (the system default, else the built-in PDF printer).
    static Printer& Current();
    static void SetCurrent(std::unique_ptr<Printer> printer);
    // Makes the named printer current ("PDF" is the built-in PDF printer). Unknown names raise error 482.
    static void SelectByName(const QString& deviceName);

    // Device names of the installed printers: the spooler's queues, then the built-in PDF printer
    // unless it has been hidden.
    static QStringList InstalledNames();
    static void SetBuiltInPdfListed(bool listed);

    // The file the built-in PDF printer writes its next document to.
    static void SetPdfOutputFile(const QString& path);
    static QString PdfOutputFile();

    // Whether the built-in PDF printer tells, once a document is saved, the file it went to
    // (on by default; a caller that says so itself turns it off).
    static void SetTellsSavedFile(bool tells);
    static bool TellsSavedFile();

    // The name a spooler job goes by when the report has no title 1 (the command gives its
    // file's name); empty for none.
    static void SetDefaultJobName(const QString& name);
    static QString DefaultJobName();

    // Ends the current printer's document if one is open, so that a run that failed half-way
    // does not leave its pages to be joined by the next document's. Errors are swallowed: this
    // runs on error paths, after the failure has been or will be reported.
    static void EndOpenDocument();

    static QString BuiltInPdfName() { return QStringLiteral("PDF"); }
};

} // namespace telmo

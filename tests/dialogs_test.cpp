// The page number options, page selection and printer setup dialogs, opened as their callers open
// them and answered with real clicks and keys (the system print dialog by a stand-in).
#include "component/JobState.h"
#include "dialogs/PageSelectionDialog.h"
#include "dialogs/PageSettingsDialog.h"
#include "platform/PrintDialogModule.h"
#include "platform/Printer.h"
#include "platform/RuntimeError.h"
#include "platform/Twips.h"
#include "support/EngineFixture.h"
#include "support/ModalWindows.h"

#include <QApplication>
#include <QPointer>
#include <QPrintDialog>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <optional>

using namespace telmo;
using namespace telmo::test;

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

using Settings = PageSettingsDialog;
using Selection = PageSelectionDialog;
const QStringList kCorners{"Top Left", "Top Right", "Bottom Left", "Bottom Right"};

QPoint ScreenCentred(const QWidget& widget) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return QPoint(screen.width() / 2 - widget.width() / 2, screen.height() / 2 - widget.height() / 2);
}

// A key to whatever has the keyboard focus, as a keyboard sends it.
const auto Press = [](Qt::Key key, Qt::KeyboardModifiers m = {}) {
    QTest::keyClick(static_cast<QWidget*>(nullptr), key, m);
};
const auto Click = [](QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); };

// The page number dialog's check box, its list's state and its selection.
QString Showing(const Settings& d) {
    return QString("%1 %2 ").arg(d.chkPageNo->isChecked()).arg(d.cbPageAlign->isEnabled()) +
           d.cbPageAlign->currentText();
}

// Plays the user of the next modal window, a D. One left open fails the test and is closed, so the
// modal loop under test cannot wait for ever.
template <class D> void WhenOpens(std::function<void(D&)> act) {
    WhenModalOpens([act](QWidget* modal) {
        QPointer<D> dialog = qobject_cast<D*>(modal);
        if (dialog == nullptr || !QTest::qWaitForWindowActive(dialog.data())) {
            ADD_FAILURE() << "no active dialog but a " << modal->metaObject()->className();
            modal->close();
            return;
        }
        act(*dialog);
        if (dialog && dialog->isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            dialog->close();
        }
    });
}

// A recording printer that logs its settings as they are set, and can refuse one (error 380).
class LogPrinter : public RecordingPrinter {
public:
    explicit LogPrinter(const QString& name) : RecordingPrinter(11520, 15120, 12240, 15840, name) {}
    QStringList log;
    std::vector<bool> hourglass; // whether the wait cursor was up at each setting
    QString refuse;
    void SetCopies(int16_t v) override { Note("copies", v), RecordingPrinter::SetCopies(v); }
    void SetDuplex(int16_t v) override { Note("duplex", v), RecordingPrinter::SetDuplex(v); }
    void SetOrientation(int16_t v) override { Note("orientation", v), RecordingPrinter::SetOrientation(v); }
    void SetPaperSize(int16_t v) override { Note("paper", v), RecordingPrinter::SetPaperSize(v); }

private:
    void Note(const QString& what, int16_t value) {
        log << QString("%1=%2").arg(what).arg(value);
        hourglass.push_back(QApplication::overrideCursor() &&
                            QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        if (refuse == what)
            throw RuntimeError(err::kInvalidPropertyValue);
    }
};

struct Choice {
    QString device;
    int16_t copies = 0, duplex = 0, orientation = 0, paper = 0;
};

class DialogsTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        previousPdf = Printers::PdfOutputFile();
        Printers::SetPdfOutputFile(dir.filePath("setup.pdf")); // not there yet: no overwrite question
    }
    void TearDown() override {
        SetPrintDialogRunner(nullptr);
        Printers::SetBuiltInPdfListed(true);
        Printers::SetPdfOutputFile(previousPdf);
        EngineTest::TearDown();
    }
    // Opens the dialog of `form` as its caller does, a refresh pending before it.
    template <class D, class F> void Open(F& form, std::function<void(D&)> act) {
        State().RefreshPending = true;
        WhenOpens<D>(std::move(act));
        form.Get().ShowModal();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void OpenSettings(std::function<void(Settings&)> act) { Open<Settings>(State().frmPageSettings, act); }
    // The choice the page selection dialog leaves, from a value none of its answers is.
    int OpenSelection(std::function<void(Selection&)> act) {
        State().PageSelectionChoice = 7;
        Open<Selection>(State().frmPageSelection, act);
        EXPECT_FALSE(State().frmPageSelection.IsLoaded()) << "every way out unloads it";
        return State().PageSelectionChoice;
    }
    LogPrinter& UseLogPrinter(const QString& name) {
        Printers::SetCurrent(std::make_unique<LogPrinter>(name));
        State().PrintDialogAccepted = false;
        return dynamic_cast<LogPrinter&>(Printers::Current());
    }
    // A stand-in for the system dialog: notes what it is given, answers with the user's choice.
    void Run(bool accept, const Choice& c, QWidget* owner = nullptr, int16_t flags = kPrintSetupFlag) {
        SetPrintDialogRunner([=, this](QWidget* o, uint32_t f, DeviceMode& mode) {
            seen.emplace(o, f, mode);
            std::tie(mode.dmDeviceName, mode.dmCopies, mode.dmDuplex, mode.dmOrientation, mode.dmPaperSize) =
                std::tie(c.device, c.copies, c.duplex, c.orientation, c.paper);
            return accept;
        });
        ShowPrinterDlg(owner, flags);
    }
    std::optional<std::tuple<QWidget*, uint32_t, DeviceMode>> seen;
    // Shows the dialog over a record for the built-in printer, and accepts or cancels it once up.
    bool RunDialog(DeviceMode& mode, int16_t orientation, bool accept, uint32_t flags = kPrintSetupFlag) {
        mode.dmDeviceName = Printers::BuiltInPdfName().leftJustified(32, ' ');
        mode.dmFields = DeviceMode::kOrientationField | DeviceMode::kDuplexField;
        mode.dmOrientation = orientation;
        mode.dmDuplex = Printer::kSimplex;
        WhenOpens<QPrintDialog>([accept, flags](QPrintDialog& dialog) {
            EXPECT_EQ(dialog.windowTitle(), "Print Setup");
            // The setup form offers no choice of pages; the print form keeps Qt's page range.
            EXPECT_EQ(dialog.testOption(QAbstractPrintDialog::PrintPageRange),
                      (flags & kPrintSetupFlag) == 0);
            EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintCurrentPage));
            accept ? dialog.accept() : QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        return RunSystemPrintDialog(nullptr, flags, mode);
    }
    QTemporaryDir dir;
    QString previousPdf;
};

} // namespace

TEST_F(DialogsTest, PageSettingsCaptionAndControls) {
    Settings& dialog = State().frmPageSettings.Get();
    EXPECT_EQ(dialog.windowTitle(), "Printer Option");
    EXPECT_EQ(dialog.size(), QSize(TwipsToPixels(3945), TwipsToPixels(1440)));
    EXPECT_EQ(dialog.pos(), ScreenCentred(dialog));
    EXPECT_EQ(dialog.chkPageNo->text(), "Page No");
    EXPECT_FALSE(dialog.cbPageAlign->isEditable()); // a drop-down list: picked, never typed
    const QComboBox& list = *dialog.cbPageAlign;
    EXPECT_EQ(QStringList({list.itemText(0), list.itemText(1), list.itemText(2), list.itemText(3)}),
              kCorners);
    EXPECT_EQ(list.count(), 4);
    EXPECT_EQ(dialog.cmdOption[0]->text(), "&Ok");
    EXPECT_EQ(dialog.cmdOption[0]->geometry(),
              QRect(TwipsToPixels(1680), TwipsToPixels(960), TwipsToPixels(1095), TwipsToPixels(375)));
    EXPECT_EQ(dialog.cmdOption[1]->text(), "&Cancel");
}

TEST_F(DialogsTest, PageSettingsLoadShowsTheStoredPosition) {
    // Compared exactly: another case or an unknown text checks the box on "Top Left".
    const std::pair<QString, QString> cases[] = {
        {"Bottom Right", "1 1 Bottom Right"}, {"Top Right", "1 1 Top Right"},
        {"Bottom Left", "1 1 Bottom Left"},   {"", "0 0 Top Left"},
        {"bottom right", "1 1 Top Left"},     {"Middle", "1 1 Top Left"}};
    for (const auto& [stored, shown] : cases) {
        SCOPED_TRACE(stored.toStdString());
        State().PageNoPosition = stored;
        State().RefreshPending = true;
        EXPECT_EQ(Showing(State().frmPageSettings.Get()), shown);
        EXPECT_EQ(State().frmPageSettings.Get().cbPageAlign->count(), 4);
        EXPECT_FALSE(State().RefreshPending);
        UnloadAllForms();
    }
}

// OK (clicked, Enter, Alt+O) stores the corner, or nothing with the box unchecked, and asks for a
// refresh; Cancel (clicked, Enter, Alt+C) stores nothing and clears it; both only hide, and the same
// dialog comes back as the user left it. Esc and the close box store nothing and unload it.
TEST_F(DialogsTest, PageSettingsWaysOutStoreOrNotAndHideOrUnload) {
    // An access key clicks its button the animated way, so the dialog goes a moment later.
    const auto accessKey = [](Settings& d, Qt::Key key) {
        Press(key, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !d.isVisible(); }));
    };
    enum Outcome { kStored, kCleared, kHidden, kUnloaded };
    const std::tuple<std::function<void(Settings&)>, int, Outcome> cases[] = {
        {[](Settings& d) { Click(d.cmdOption[0]); }, 0, kStored},
        {[](Settings& d) { d.cmdOption[0]->setFocus(), Press(Qt::Key_Return); }, 2, kStored},
        {[&](Settings& d) { accessKey(d, Qt::Key_O); }, 3, kStored},
        {[](Settings& d) { d.chkPageNo->setFocus(), Press(Qt::Key_Escape); }, 0, kUnloaded},
        {[](Settings& d) { Click(d.cmdOption[0]); }, 1, kStored},
        {[](Settings& d) { Click(d.chkPageNo), Click(d.cmdOption[0]); }, 2, kCleared},
        {[](Settings& d) { d.chkPageNo->setFocus(), Press(Qt::Key_Space), Click(d.cmdOption[0]); }, 3,
         kStored},
        {[](Settings& d) { Click(d.cmdOption[1]); }, 2, kHidden},
        {[](Settings& d) { d.cmdOption[1]->setFocus(), Press(Qt::Key_Return); }, 0, kHidden},
        {[](Settings& d) { d.cmdOption[0]->setFocus(), Press(Qt::Key_Escape); }, 2, kUnloaded},
        {[](Settings& d) { d.close(); }, 0, kUnloaded},
        {[&](Settings& d) { accessKey(d, Qt::Key_C); }, 3, kHidden},
    };
    QString stored = "Bottom Right", left;
    State().PageNoPosition = stored;
    QPointer<Settings> kept; // deleted, so null, once unloaded
    for (const auto& [press, corner, outcome] : cases) {
        SCOPED_TRACE(corner);
        OpenSettings([&](Settings& dialog) {
            // Only a load clears the opener's refresh and shows the stored position.
            EXPECT_EQ(State().RefreshPending, !kept.isNull());
            EXPECT_EQ(Showing(dialog), kept ? left : "1 1 " + stored);
            kept = &dialog;
            dialog.cbPageAlign->setCurrentIndex(corner);
            press(dialog);
            left = kept ? Showing(*kept) : ""; // the dialog may be gone already
        });
        stored = outcome == kStored ? kCorners[corner] : outcome == kCleared ? "" : stored;
        EXPECT_EQ(State().PageNoPosition, stored);
        EXPECT_EQ(State().RefreshPending, outcome == kStored || outcome == kCleared);
        EXPECT_EQ(kept.isNull(), outcome == kUnloaded) << "only Esc and the close box unload it";
        EXPECT_EQ(State().frmPageSettings.IfLoaded(), kept.data());
        EXPECT_TRUE(kept.isNull() || !kept->isVisible());
    }
}

// Every showing is a fresh load: its caption and texts, centred, OK focused, All Pages chosen, the
// opener's refresh cleared; every way out unloads it, leaving its choice.
TEST_F(DialogsTest, PageSelectionEachWayOutLeavesItsChoice) {
    const std::pair<std::function<void(Selection&)>, int> cases[] = {
        {[](Selection& d) { Click(d.OKButton); }, 1},
        {[](Selection& d) { Click(d.opPageSelection2), Click(d.OKButton); }, 2},
        {[](Selection& d) { // one group: choosing one clears the other
             Click(d.opPageSelection2), Click(d.opPageSelection1);
             EXPECT_FALSE(d.opPageSelection2->isChecked());
             Click(d.OKButton);
         },
         1},
        {[](Selection&) { Press(Qt::Key_Return); }, 1},
        {[](Selection& d) { d.opPageSelection1->setFocus(), Press(Qt::Key_Down), Click(d.OKButton); }, 2},
        {[](Selection& d) { d.opPageSelection2->setChecked(true), Click(d.CancelButton); }, 0},
        {[](Selection& d) { d.opPageSelection2->setFocus(), Press(Qt::Key_Escape); }, 0},
        {[](Selection& d) { d.OKButton->setFocus(), Press(Qt::Key_Escape); }, 0},
        {[](Selection& d) { d.CancelButton->setFocus(), Press(Qt::Key_Return); }, 0},
    };
    int i = 0;
    for (const auto& [act, choice] : cases) {
        SCOPED_TRACE(i++);
        const int left = OpenSelection([&](Selection& d) {
            EXPECT_EQ(
                QStringList({d.windowTitle(), d.opPageSelection1->text(), d.opPageSelection2->text(),
                             d.OKButton->text(), d.CancelButton->text()}),
                QStringList({"Page Selection", "Print All Pages", "Print Current Page", "OK", "Cancel"}));
            EXPECT_EQ(d.pos(), ScreenCentred(d));
            EXPECT_EQ(QApplication::focusWidget(), d.OKButton);
            EXPECT_TRUE(d.opPageSelection1->isChecked());
            EXPECT_FALSE(State().RefreshPending);
            act(d);
        });
        EXPECT_EQ(left, choice);
    }
}

// Cancel leaves the printer, its settings and the earlier answer alone.
TEST_F(DialogsTest, PrinterSetupTheDialogIsGivenTheCurrentPrinterAndCancelChangesNothing) {
    LogPrinter& printer = UseLogPrinter("Office Laser");
    printer.SetOrientation(Printer::kLandscape);
    printer.SetDuplex(Printer::kDuplexShortEdge);
    printer.SetPaperSize(Printer::kPaperA4);
    printer.SetCopies(4);
    printer.log.clear();
    State().PrintDialogAccepted = true;
    QWidget owner;
    Run(false, {"PDF", 3, Printer::kDuplexLongEdge, Printer::kPortrait, Printer::kPaperA3}, &owner);
    ASSERT_TRUE(seen.has_value());
    const auto& [seenOwner, flags, mode] = *seen;
    EXPECT_EQ(seenOwner, &owner);
    EXPECT_EQ(flags, 64u);
    EXPECT_EQ(mode.dmDeviceName, QString("Office Laser").leftJustified(32, ' '));
    // Paper and copies are not offered.
    EXPECT_EQ(std::tuple(mode.dmSize, mode.dmFields, mode.dmOrientation, mode.dmDuplex, mode.dmPaperSize,
                         mode.dmCopies),
              std::tuple(122, 0x1001u, Printer::kLandscape, Printer::kDuplexShortEdge, 0, 0));
    EXPECT_EQ(&Printers::Current(), &printer) << "the printer was changed";
    EXPECT_TRUE(printer.log.isEmpty()) << printer.log.join(' ').toStdString();
    EXPECT_TRUE(State().PrintDialogAccepted);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    UseLogPrinter("A printer whose name is far longer than thirty-two");
    Run(false, {"PDF"}, nullptr, -32768); // the flags widened as the signed 16-bit value they are
    EXPECT_EQ(std::get<1>(*seen), 0xFFFF8000u);
    EXPECT_EQ(std::get<2>(*seen).dmDeviceName, QString("A printer whose name is far long"));
    EXPECT_FALSE(State().PrintDialogAccepted);
    EXPECT_EQ(Printers::Current().DeviceName(), "A printer whose name is far longer than thirty-two");
    EXPECT_TRUE(messages.empty());
}

// Accepted, copies, duplex, orientation and paper are applied in that order under the hourglass.
// The chosen name, up to its first zero character, selects a listed printer without regard to
// case, unless it is the current one's in the same case; a name not in the list keeps the current one.
TEST_F(DialogsTest, PrinterSetupAcceptAppliesTheSettingsToTheChosenPrinter) {
    struct Case {
        QString current, chosen;
        bool listed, kept;
    };
    const Case cases[] = {
        {"PDF", "PDF", true, true}, // a walk of the list would replace it with the built-in one
        {"pdf", "Pdf", true, false}, {"pdf", QString("pdf") + QChar(0) + "left over", true, false},
        {"pdf", "PDF", false, true}, {"pdf", "No Such Printer", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        Printers::SetBuiltInPdfListed(c.listed);
        LogPrinter& printer = UseLogPrinter(c.current);
        Run(true, {c.chosen, 3, Printer::kDuplexLongEdge, Printer::kLandscape, Printer::kPaperLegal});
        Printer& now = Printers::Current();
        EXPECT_EQ(&now == &printer, c.kept);
        EXPECT_EQ(now.DeviceName(), c.kept ? c.current : Printers::BuiltInPdfName());
        EXPECT_EQ(std::tuple(now.Copies(), now.Duplex(), now.Orientation(), now.PaperSize()),
                  std::tuple(3, Printer::kDuplexLongEdge, Printer::kLandscape, Printer::kPaperLegal));
        if (c.kept) {
            EXPECT_EQ(printer.log, QStringList({"copies=3", "duplex=2", "orientation=2", "paper=5"}));
            EXPECT_EQ(printer.hourglass, std::vector<bool>(4, true));
        }
        EXPECT_TRUE(State().PrintDialogAccepted);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(DialogsTest, PrinterSetupARefusedSettingIsReportedAndEndsTheProcedure) {
    LogPrinter& printer = UseLogPrinter("OFFICE");
    printer.refuse = "orientation";
    Run(true, {"OFFICE", 3, Printer::kDuplexLongEdge, Printer::kLandscape, Printer::kPaperA4});
    EXPECT_EQ(printer.log, QStringList({"copies=3", "duplex=2", "orientation=2"}));
    EXPECT_EQ(printer.PaperSize(), Printer::kPaperLetter);
    EXPECT_FALSE(State().PrintDialogAccepted);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains("Invalid property value")) << messages[0].text.toStdString();
    EXPECT_TRUE(LogText().contains("PrinterComponent.9006.ShowPrinterDlg\t380\tInvalid property value"))
        << LogText().toStdString();
}

// Qt's real print dialog: what it gives back is turned into the record's values.
TEST_F(DialogsTest, SystemPrintDialogAcceptingReturnsTheChoiceAndCancellingLeavesTheRecord) {
    DeviceMode mode;
    EXPECT_FALSE(RunDialog(mode, Printer::kLandscape, false));
    EXPECT_EQ(mode.dmDeviceName, Printers::BuiltInPdfName().leftJustified(32, ' '));
    EXPECT_EQ(std::tuple(mode.dmOrientation, mode.dmCopies, mode.dmPaperSize),
              std::tuple(Printer::kLandscape, 0, 0));
    ASSERT_TRUE(RunDialog(mode, Printer::kLandscape, true));
    EXPECT_EQ(mode.dmDeviceName, Printers::BuiltInPdfName());
    EXPECT_EQ(std::tuple(mode.dmOrientation, mode.dmDuplex, mode.dmCopies),
              std::tuple(Printer::kLandscape, Printer::kSimplex, 1));
    EXPECT_GT(mode.dmPaperSize, 0) << "a paper size the printer knows by its code";
    ASSERT_TRUE(RunDialog(mode, Printer::kPortrait, true, 0));
    EXPECT_EQ(mode.dmOrientation, Printer::kPortrait);
}

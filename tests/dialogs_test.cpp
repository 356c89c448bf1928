// The page number, page selection and printer setup dialogs, opened as their callers open them
// and answered with real clicks and keys (the system print dialog by a stand-in).
#include "component/JobState.h"
#include "dialogs/PageSelectionDialog.h"
#include "dialogs/PageSettingsDialog.h"
#include "platform/RuntimeError.h"
#include "platform/print/PrintDialogModule.h"
#include "platform/print/Printer.h"
#include "support/EngineFixture.h"
#include "support/ModalWindows.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>

using namespace telmo;
using namespace telmo::test;

namespace {

using Settings = PageSettingsDialog;
using Selection = PageSelectionDialog;

// A key to whatever has the keyboard focus, as a keyboard sends it.
const auto Press = [](Qt::Key key) { QTest::keyClick(static_cast<QWidget*>(nullptr), key); };
const auto Click = [](QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); };

// The page number dialog's check box, its list's state and its selection.
QString Showing(const Settings& d) {
    return QString("%1 %2 ").arg(d.chkPageNo->isChecked()).arg(d.cbPageAlign->isEnabled()) +
           d.cbPageAlign->currentText();
}

// A recording printer that logs its settings as they are set, and can refuse one (error 380).
class LogPrinter : public RecordingPrinter {
public:
    explicit LogPrinter(const QString& name) : RecordingPrinter(11520, 15120, 12240, 15840, name) {}
    QStringList log; // each setting, and whether the wait cursor was up for it
    QString refuse;
    void SetCopies(int16_t v) override { Note("copies", v), RecordingPrinter::SetCopies(v); }
    void SetDuplex(int16_t v) override { Note("duplex", v), RecordingPrinter::SetDuplex(v); }
    void SetOrientation(int16_t v) override { Note("orientation", v), RecordingPrinter::SetOrientation(v); }
    void SetPaperSize(int16_t v) override { Note("paper", v), RecordingPrinter::SetPaperSize(v); }

private:
    void Note(const QString& what, int16_t value) {
        const bool wait =
            QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        log << QString("%1=%2%3").arg(what).arg(value).arg(wait ? "" : " without the hourglass");
        if (refuse == what)
            throw RuntimeError(err::kInvalidPropertyValue);
    }
};

class DialogsTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Printers::SetPdfOutputFile(dir.filePath("setup.pdf")); // not there yet: no overwrite question
    }
    void TearDown() override {
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hourglass is left up";
        Printers::SetBuiltInPdfListed(true);
        Printers::SetPdfOutputFile(QString());
        EngineTest::TearDown();
    }
    // Opens the dialog of `form` as its caller does, a refresh pending before it.
    template <class D, class F> void Open(F& form, std::function<void(D&)> act) {
        State().RefreshPending = true;
        WhenOpens<D>(std::move(act));
        form.Get().ShowModal();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QTemporaryDir dir;
};

} // namespace

// OK stores the corner (nothing if unchecked) and asks for a refresh, Cancel stores nothing; both
// hide, keeping the dialog as left. Esc and the close box unload it; a load shows the stored position.
TEST_F(DialogsTest, PageSettingsWaysOutStoreOrNotAndHideOrUnload) {
    enum Outcome { kStored, kCleared, kHidden, kUnloaded };
    const std::tuple<std::function<void(Settings&)>, int, Outcome> cases[] = {
        {[](Settings& d) { Click(d.cmdOption[0]); }, 0, kStored},
        {[](Settings& d) { d.cmdOption[0]->setFocus(), Press(Qt::Key_Return); }, 2, kStored},
        {[](Settings& d) { d.chkPageNo->setFocus(), Press(Qt::Key_Escape); }, 0, kUnloaded},
        {[](Settings& d) { Click(d.chkPageNo), Click(d.cmdOption[0]); }, 2, kCleared},
        {[](Settings& d) { d.cmdOption[0]->setFocus(), Press(Qt::Key_Escape); }, 2, kUnloaded},
        {[](Settings& d) { d.close(); }, 0, kUnloaded},
        {[](Settings& d) { d.chkPageNo->setFocus(), Press(Qt::Key_Space), Click(d.cmdOption[0]); }, 3,
         kStored},
        {[](Settings& d) { Click(d.cmdOption[1]); }, 2, kHidden},
    };
    const QStringList corners{"Top Left", "Top Right", "Bottom Left", "Bottom Right"};
    QString stored = "Bottom Right", left;
    State().PageNoPosition = stored;
    QPointer<Settings> kept; // deleted, so null, once unloaded
    for (const auto& [press, corner, outcome] : cases) {
        SCOPED_TRACE(corner);
        Open<Settings>(State().frmPageSettings, [&](Settings& dialog) {
            // Only a load clears the opener's refresh and shows the stored position.
            EXPECT_EQ(State().RefreshPending, !kept.isNull());
            EXPECT_EQ(Showing(dialog), kept ? left : stored.isEmpty() ? "0 0 Top Left" : "1 1 " + stored);
            // Whatever the desktop's face, the caption shows whole.
            EXPECT_GE(dialog.chkPageNo->width(), dialog.chkPageNo->sizeHint().width());
            kept = &dialog;
            dialog.cbPageAlign->setCurrentIndex(corner);
            press(dialog);
            left = kept ? Showing(*kept) : ""; // the dialog may be gone already
        });
        stored = outcome == kStored ? corners[corner] : outcome == kCleared ? "" : stored;
        EXPECT_EQ(State().PageNoPosition, stored);
        EXPECT_EQ(State().RefreshPending, outcome == kStored || outcome == kCleared);
        EXPECT_EQ(kept.isNull(), outcome == kUnloaded) << "only Esc and the close box unload it";
        EXPECT_EQ(State().frmPageSettings.IfLoaded(), kept.data());
        EXPECT_TRUE(kept.isNull() || !kept->isVisible());
    }
}

// Every showing is a fresh load (OK focused, All Pages chosen, the opener's refresh cleared); every
// way out unloads it, leaving its choice: 1 all pages, 2 the current page, 0 cancelled.
TEST_F(DialogsTest, PageSelectionEachWayOutLeavesItsChoice) {
    const std::pair<std::function<void(Selection&)>, int> cases[] = {
        {[](Selection& d) { Click(d.OKButton); }, 1},
        {[](Selection& d) { Click(d.opPageSelection2), Click(d.OKButton); }, 2},
        {[](Selection&) { Press(Qt::Key_Return); }, 1},
        {[](Selection& d) { d.opPageSelection1->setFocus(), Press(Qt::Key_Down), Click(d.OKButton); }, 2},
        {[](Selection& d) { d.opPageSelection2->setChecked(true), Click(d.CancelButton); }, 0},
        {[](Selection& d) { d.opPageSelection2->setFocus(), Press(Qt::Key_Escape); }, 0},
        {[](Selection& d) { d.opPageSelection2->setChecked(true), d.close(); }, 0}, // the close box
    };
    for (const auto& [act, choice] : cases) {
        SCOPED_TRACE(choice);
        State().PageSelectionChoice = 7; // none of its answers
        Open<Selection>(State().frmPageSelection, [&](Selection& d) {
            EXPECT_EQ(QApplication::focusWidget(), d.OKButton);
            EXPECT_TRUE(d.opPageSelection1->isChecked());
            EXPECT_FALSE(State().RefreshPending);
            act(d);
        });
        EXPECT_FALSE(State().frmPageSelection.IsLoaded());
        EXPECT_EQ(State().PageSelectionChoice, choice);
    }
}

// The dialog is given the current printer, its name cut or padded to 32, without paper or copies.
// Accepted, the settings are applied in order under the hourglass; the chosen name (to its first zero)
// selects a listed printer in any case unless it is the current one's; an unlisted name changes none.
// Cancel, or a setting the printer refuses, leaves the earlier answer.
TEST_F(DialogsTest, PrinterSetupGivesTheCurrentPrinterAndAppliesWhatIsAccepted) {
    const QStringList all{"copies=3", "duplex=2", "orientation=2", "paper=5"};
    struct Case {
        QString current, chosen;
        int applied; // settings applied; none when cancelled
        bool kept = true, listed = true;
        QString refuse = {};
        uint32_t flags = 64; // as the dialog gets them, widened from 16 bits
    };
    const Case cases[] = {
        {"Office Laser", "PDF", 0},
        {"A printer whose name is far longer than thirty-two", "PDF", 0, true, true, "", 0xFFFF8000u},
        {"PDF", "PDF", 4}, // a walk of the list would replace it with the built-in one
        {"pdf", "Pdf", 4, false},
        {"pdf", QString("pdf") + QChar(0) + "left over", 4, false},
        {"pdf", "PDF", 4, true, false},
        {"pdf", "No Such Printer", 4},
        {"OFFICE", "OFFICE", 3, true, true, "orientation"},
    };
    QWidget owner;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.chosen.toStdString());
        Printers::SetBuiltInPdfListed(c.listed);
        Printers::SetCurrent(std::make_unique<LogPrinter>(c.current));
        auto& printer = dynamic_cast<LogPrinter&>(Printers::Current());
        printer.SetDuplex(Printer::kDuplexShortEdge), printer.SetOrientation(Printer::kPortrait);
        printer.log.clear(), printer.refuse = c.refuse;
        const bool earlier = i % 2 == 0;
        State().PrintDialogAccepted = earlier;
        QWidget* const from = i == 0 ? &owner : nullptr;
        std::optional<std::tuple<QWidget*, uint32_t, DeviceMode>> seen;
        SetPrintDialogRunner([&](QWidget* o, uint32_t f, DeviceMode& mode) {
            seen.emplace(o, f, mode); // the user chose 3 copies, duplex, landscape
            std::tie(mode.dmDeviceName, mode.dmCopies, mode.dmDuplex, mode.dmOrientation, mode.dmPaperSize) =
                std::tuple(c.chosen, 3, Printer::kDuplexLongEdge, Printer::kLandscape, Printer::kPaperLegal);
            return c.applied > 0;
        });
        int16_t passed = static_cast<int16_t>(c.flags);
        ShowPrinterDlg(from, passed);
        ASSERT_TRUE(seen.has_value());
        const auto& [seenOwner, flags, mode] = *seen;
        EXPECT_EQ(std::tuple(seenOwner, flags, mode.dmDeviceName),
                  std::tuple(from, c.flags, c.current.left(32).leftJustified(32, ' ')));
        EXPECT_EQ(std::tuple(mode.dmSize, mode.dmFields, mode.dmOrientation, mode.dmDuplex, mode.dmPaperSize,
                             mode.dmCopies),
                  std::tuple(122, 0x1001u, Printer::kPortrait, Printer::kDuplexShortEdge, 0, 0));
        Printer& now = Printers::Current();
        EXPECT_EQ(&now == &printer, c.kept);
        EXPECT_EQ(now.DeviceName(), c.kept ? c.current : Printers::BuiltInPdfName());
        EXPECT_EQ(State().PrintDialogAccepted, c.applied == 4 || earlier);
        EXPECT_EQ(messages.size(), c.refuse.isEmpty() ? 0u : 1u);
        if (c.applied == 4) {
            EXPECT_EQ(std::tuple(now.Copies(), now.Duplex(), now.Orientation(), now.PaperSize()),
                      std::tuple(3, Printer::kDuplexLongEdge, Printer::kLandscape, Printer::kPaperLegal));
        }
        if (c.kept) { // else it is gone
            EXPECT_EQ(printer.log, all.mid(0, c.applied));
        }
    }
    EXPECT_TRUE(LogText().contains("PrinterComponent.9006.ShowPrinterDlg\t380\tInvalid property value"))
        << LogText().toStdString();
}

// Qt's dialog over a record: Esc leaves it, OK gives back the choice. The setup form offers no page
// range, its button sets up, and it asks nothing of a file there already; the print form keeps Qt's.
TEST_F(DialogsTest, SystemPrintDialogAcceptingReturnsTheChoiceAndCancellingLeavesTheRecord) {
    const QString pdf = Printers::BuiltInPdfName();
    for (const auto& [accept, flags, orientation] : {std::tuple(false, 64u, Printer::kLandscape),
                                                     {true, 64u, Printer::kLandscape},
                                                     {true, 0u, Printer::kPortrait}}) {
        SCOPED_TRACE(flags + accept);
        DeviceMode mode;
        std::tie(mode.dmDeviceName, mode.dmFields, mode.dmOrientation, mode.dmDuplex) =
            std::tuple(pdf.leftJustified(32, ' '), DeviceMode::kOrientationField | DeviceMode::kDuplexField,
                       orientation, Printer::kSimplex);
        QFile earlier(Printers::PdfOutputFile()); // a file there already
        const auto rowDone = std::make_shared<bool>(false);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        WhenOpens<QPrintDialog>([&](QPrintDialog& dialog) {
            EXPECT_EQ(dialog.windowTitle(), "Print Setup");
            EXPECT_EQ(dialog.testOption(QAbstractPrintDialog::PrintPageRange), flags == 0);
            EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintCurrentPage));
            QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
            EXPECT_EQ(ok->text(), flags ? "&Set Up" : "&Print");
            QTimer::singleShot(500, [flags, rowDone] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    box && !*rowDone) {
                    EXPECT_EQ(flags, 0u) << "the setup form asked: " << box->text().toStdString();
                    box->done(QMessageBox::Yes);
                }
            });
            accept ? ok->click() : QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        EXPECT_EQ(RunSystemPrintDialog(nullptr, flags, mode), accept);
        *rowDone = true;
        EXPECT_EQ(std::tuple(mode.dmDeviceName, mode.dmOrientation, mode.dmDuplex, mode.dmCopies),
                  std::tuple(accept ? pdf : pdf.leftJustified(32, ' '), orientation, Printer::kSimplex,
                             accept ? 1 : 0));
        EXPECT_EQ(mode.dmPaperSize > 0, accept) << "a paper size the printer knows by its code";
    }
}

// The three small dialogs as a user meets them on the offscreen platform: the page number
// options, the page selection and the printer setup, each opened the way its caller opens
// it and answered with real clicks and keys (the system print dialog by a stand-in).
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

// Readable QString values in failure messages.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QStringList kCorners{"Top Left", "Top Right", "Bottom Left", "Bottom Right"};

QRect TwipsRect(float left, float top, float width, float height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

QPoint ScreenCentred(const QWidget& widget) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return QPoint(screen.width() / 2 - widget.width() / 2, screen.height() / 2 - widget.height() / 2);
}

// Plays the user of the next dialog of type D that opens modally. The dialog must be gone
// (hidden or unloaded) when act returns; one left open fails the test and is closed, so that
// the modal loop under test cannot wait for ever.
template <class D> void WhenDialogOpens(std::function<void(D&)> act) {
    WhenModalOpens([act](QWidget* modal) {
        QPointer<D> dialog = qobject_cast<D*>(modal);
        if (dialog == nullptr) {
            ADD_FAILURE() << "the modal window is a " << modal->metaObject()->className();
            modal->close();
            return;
        }
        if (!QTest::qWaitForWindowActive(dialog.data()))
            ADD_FAILURE() << "the dialog did not become active";
        act(*dialog);
        if (dialog && dialog->isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            dialog->Unload();
        }
    });
}

// Sends a key to whatever has the keyboard focus, as a keyboard would.
void PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(static_cast<QWidget*>(nullptr), key, modifiers);
}

// Lets deferred deletions of unloaded dialogs run.
void Settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// ---------------------------------------------------------------------------------------
// Page number options

// What the page number dialog shows: its check box, and its list's state and selection.
struct Shown {
    bool checked;
    bool listEnabled;
    QString selected;
    bool operator==(const Shown&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Shown& shown) {
        return out << (shown.checked ? "checked" : "unchecked") << ", list "
                   << (shown.listEnabled ? "enabled" : "disabled") << ", \"" << shown.selected.toStdString()
                   << '"';
    }
};

Shown Showing(const PageSettingsDialog& dialog) {
    return {dialog.chkPageNo->isChecked(), dialog.cbPageAlign->isEnabled(),
            dialog.cbPageAlign->currentText()};
}

class PageSettingsTest : public EngineTest {
protected:
    // Opens the dialog as the preview's Option command does: a refresh is pending before it.
    void OpenAndAnswer(std::function<void(PageSettingsDialog&)> act) {
        State().RefreshPending = true;
        WhenDialogOpens<PageSettingsDialog>(std::move(act));
        State().frmPageSettings.Get().ShowModal();
        Settle();
    }
};

TEST_F(PageSettingsTest, CaptionControlsAndPlacesAreThoseOfTheDesign) {
    PageSettingsDialog& dialog = State().frmPageSettings.Get();
    EXPECT_EQ(dialog.windowTitle(), "Printer Option");
    EXPECT_EQ(dialog.size(), QSize(TwipsToPixels(3945), TwipsToPixels(1440)));
    EXPECT_EQ(dialog.chkPageNo->text(), "Page No");
    EXPECT_EQ(dialog.chkPageNo->geometry(), TwipsRect(50, 160, 975, 375));
    EXPECT_EQ(dialog.cbPageAlign->geometry(), TwipsRect(1360, 240, 2535, 315));
    // A drop-down list: the user picks one of the four, never types.
    EXPECT_FALSE(dialog.cbPageAlign->isEditable());
    QStringList items;
    for (int i = 0; i < dialog.cbPageAlign->count(); ++i)
        items << dialog.cbPageAlign->itemText(i);
    EXPECT_EQ(items, kCorners);
    EXPECT_EQ(dialog.cmdOption[0]->text(), "&Ok");
    EXPECT_EQ(dialog.cmdOption[0]->geometry(), TwipsRect(1680, 960, 1095, 375));
    EXPECT_EQ(dialog.cmdOption[1]->text(), "&Cancel");
    EXPECT_EQ(dialog.cmdOption[1]->geometry(), TwipsRect(2800, 960, 1095, 375));
    EXPECT_EQ(dialog.pos(), ScreenCentred(dialog));
}

TEST_F(PageSettingsTest, LoadShowsTheStoredPosition) {
    struct Case {
        QString stored;
        Shown shown;
    };
    const Case cases[] = {
        {"Bottom Right", {true, true, "Bottom Right"}},
        {"Top Right", {true, true, "Top Right"}},
        {"Bottom Left", {true, true, "Bottom Left"}},
        {"", {false, false, "Top Left"}},
        // Compared exactly: another case or an unknown text checks the box on "Top Left".
        {"bottom right", {true, true, "Top Left"}},
        {"Middle", {true, true, "Top Left"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        State().PageNoPosition = c.stored;
        State().RefreshPending = true;
        PageSettingsDialog& dialog = State().frmPageSettings.Get();
        EXPECT_EQ(Showing(dialog), c.shown);
        EXPECT_EQ(dialog.cbPageAlign->count(), 4);
        EXPECT_FALSE(State().RefreshPending);
        UnloadAllForms();
    }
}

TEST_F(PageSettingsTest, TheCheckBoxEnablesAndDisablesTheList) {
    PageSettingsDialog& dialog = State().frmPageSettings.Get();
    dialog.show();
    ASSERT_FALSE(dialog.cbPageAlign->isEnabled());
    QTest::mouseClick(dialog.chkPageNo, Qt::LeftButton);
    EXPECT_EQ(Showing(dialog), (Shown{true, true, "Top Left"}));
    QTest::mouseClick(dialog.chkPageNo, Qt::LeftButton);
    EXPECT_EQ(Showing(dialog), (Shown{false, false, "Top Left"}));
    // The space bar on the focused box is a click too.
    dialog.chkPageNo->setFocus();
    QTest::keyClick(dialog.chkPageNo, Qt::Key_Space);
    EXPECT_TRUE(dialog.cbPageAlign->isEnabled());
    EXPECT_TRUE(State().PageNoPosition.isEmpty());
}

TEST_F(PageSettingsTest, OkStoresTheChosenCornerAndOnlyHidesTheDialog) {
    State().PageNoPosition = "Bottom Right";
    QPointer<PageSettingsDialog> first;
    for (int corner = 0; corner < 4; ++corner) {
        SCOPED_TRACE(kCorners[corner].toStdString());
        OpenAndAnswer([&](PageSettingsDialog& dialog) {
            if (first == nullptr)
                first = &dialog;
            dialog.cbPageAlign->setCurrentIndex(corner);
            QTest::mouseClick(dialog.cmdOption[0], Qt::LeftButton);
        });
        EXPECT_EQ(State().PageNoPosition, kCorners[corner]);
        EXPECT_TRUE(State().RefreshPending);
        // Hidden, not unloaded: the same dialog comes back next time.
        ASSERT_TRUE(State().frmPageSettings.IsLoaded());
        EXPECT_EQ(State().frmPageSettings.IfLoaded(), first.data());
        EXPECT_FALSE(first->isVisible());
    }
}

TEST_F(PageSettingsTest, OkWithTheBoxUncheckedClearsThePosition) {
    State().PageNoPosition = "Top Right";
    OpenAndAnswer([](PageSettingsDialog& dialog) {
        QTest::mouseClick(dialog.chkPageNo, Qt::LeftButton);
        QTest::mouseClick(dialog.cmdOption[0], Qt::LeftButton);
    });
    EXPECT_EQ(State().PageNoPosition, "");
    EXPECT_TRUE(State().RefreshPending);

    // Checking it again offers "Top Left"; OK stores it, though the dialog last showed "Top Right".
    OpenAndAnswer([](PageSettingsDialog& dialog) {
        EXPECT_EQ(Showing(dialog), (Shown{false, false, "Top Right"}));
        QTest::mouseClick(dialog.chkPageNo, Qt::LeftButton);
        dialog.cbPageAlign->setCurrentIndex(0);
        QTest::mouseClick(dialog.cmdOption[0], Qt::LeftButton);
    });
    EXPECT_EQ(State().PageNoPosition, "Top Left");
}

TEST_F(PageSettingsTest, AnUnknownStoredTextBecomesTopLeftOnOk) {
    State().PageNoPosition = "Centre";
    OpenAndAnswer([](PageSettingsDialog& dialog) { QTest::mouseClick(dialog.cmdOption[0], Qt::LeftButton); });
    EXPECT_EQ(State().PageNoPosition, "Top Left");
}

TEST_F(PageSettingsTest, CancelStoresNothingAndKeepsWhatTheUserLeft) {
    State().PageNoPosition = "Bottom Right";
    OpenAndAnswer([](PageSettingsDialog& dialog) {
        dialog.cbPageAlign->setCurrentIndex(1);
        QTest::mouseClick(dialog.chkPageNo, Qt::LeftButton);
        QTest::mouseClick(dialog.cmdOption[1], Qt::LeftButton);
    });
    EXPECT_EQ(State().PageNoPosition, "Bottom Right");
    EXPECT_FALSE(State().RefreshPending);
    ASSERT_TRUE(State().frmPageSettings.IsLoaded());

    // Only hidden: the next opening shows the changed, unstored settings, and does not load again.
    OpenAndAnswer([](PageSettingsDialog& dialog) {
        EXPECT_EQ(Showing(dialog), (Shown{false, false, "Top Right"}));
        EXPECT_TRUE(State().RefreshPending) << "the opener's value, untouched without a new load";
        EXPECT_EQ(dialog.cbPageAlign->count(), 4);
        QTest::mouseClick(dialog.cmdOption[1], Qt::LeftButton);
    });
    EXPECT_EQ(State().PageNoPosition, "Bottom Right");
    EXPECT_FALSE(State().RefreshPending);
}

TEST_F(PageSettingsTest, EscFromAnyControlStoresNothingAndUnloads) {
    State().PageNoPosition = "Bottom Right";
    for (int control = 0; control < 4; ++control) {
        SCOPED_TRACE(control);
        OpenAndAnswer([control](PageSettingsDialog& dialog) {
            dialog.cbPageAlign->setCurrentIndex(0);
            QWidget* targets[] = {dialog.chkPageNo, dialog.cbPageAlign, dialog.cmdOption[0],
                                  dialog.cmdOption[1]};
            targets[control]->setFocus();
            PressKey(Qt::Key_Escape);
        });
        EXPECT_EQ(State().PageNoPosition, "Bottom Right");
        EXPECT_FALSE(State().RefreshPending);
        EXPECT_FALSE(State().frmPageSettings.IsLoaded());
    }
    // Loaded afresh: the stored settings again, not the "Top Left" left in the unloaded one.
    OpenAndAnswer([](PageSettingsDialog& dialog) {
        EXPECT_EQ(Showing(dialog), (Shown{true, true, "Bottom Right"}));
        EXPECT_FALSE(State().RefreshPending) << "a fresh load clears it";
        QTest::mouseClick(dialog.cmdOption[1], Qt::LeftButton);
    });
}

TEST_F(PageSettingsTest, EnterPressesTheFocusedButton) {
    State().PageNoPosition = "Bottom Right";
    OpenAndAnswer([](PageSettingsDialog& dialog) {
        dialog.cbPageAlign->setCurrentIndex(2);
        dialog.cmdOption[0]->setFocus();
        PressKey(Qt::Key_Return);
    });
    EXPECT_EQ(State().PageNoPosition, "Bottom Left");
    EXPECT_TRUE(State().RefreshPending);
    EXPECT_TRUE(State().frmPageSettings.IsLoaded());

    OpenAndAnswer([](PageSettingsDialog& dialog) {
        dialog.cbPageAlign->setCurrentIndex(1);
        dialog.cmdOption[1]->setFocus();
        PressKey(Qt::Key_Return);
    });
    EXPECT_EQ(State().PageNoPosition, "Bottom Left");
    EXPECT_FALSE(State().RefreshPending);
}

TEST_F(PageSettingsTest, TheAccessKeysPressTheButtons) {
    State().PageNoPosition = "Top Left";
    // A button's access key clicks it the animated way, so the dialog goes a moment later.
    const auto pressAndWait = [](PageSettingsDialog& dialog, Qt::Key key) {
        PressKey(key, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }));
    };
    OpenAndAnswer([&](PageSettingsDialog& dialog) {
        dialog.cbPageAlign->setCurrentIndex(3);
        pressAndWait(dialog, Qt::Key_O);
    });
    EXPECT_EQ(State().PageNoPosition, "Bottom Right");
    EXPECT_TRUE(State().RefreshPending);
    OpenAndAnswer([&](PageSettingsDialog& dialog) {
        dialog.cbPageAlign->setCurrentIndex(0);
        pressAndWait(dialog, Qt::Key_C);
    });
    EXPECT_EQ(State().PageNoPosition, "Bottom Right");
    EXPECT_FALSE(State().RefreshPending);
}

TEST_F(PageSettingsTest, TheCloseBoxUnloadsAndStoresNothing) {
    State().PageNoPosition = "Top Right";
    const auto closeBox = [](PageSettingsDialog& dialog) {
        dialog.cbPageAlign->setCurrentIndex(3);
        dialog.close();
    };
    // On its first opening the load has already cleared the opener's refresh.
    OpenAndAnswer(closeBox);
    EXPECT_EQ(State().PageNoPosition, "Top Right");
    EXPECT_FALSE(State().RefreshPending);
    EXPECT_FALSE(State().frmPageSettings.IsLoaded());

    // A dialog kept from an earlier Cancel is not loaded again: the opener's True stays.
    OpenAndAnswer([](PageSettingsDialog& dialog) { QTest::mouseClick(dialog.cmdOption[1], Qt::LeftButton); });
    ASSERT_TRUE(State().frmPageSettings.IsLoaded());
    OpenAndAnswer(closeBox);
    EXPECT_EQ(State().PageNoPosition, "Top Right");
    EXPECT_TRUE(State().RefreshPending);
    EXPECT_FALSE(State().frmPageSettings.IsLoaded());
}

// ---------------------------------------------------------------------------------------
// Page selection

class PageSelectionTest : public EngineTest {
protected:
    // Opens the dialog as the preview's Print command does and returns what it left.
    int OpenAndAnswer(std::function<void(PageSelectionDialog&)> act) {
        State().RefreshPending = true;
        WhenDialogOpens<PageSelectionDialog>(std::move(act));
        State().frmPageSelection.Get().ShowModal();
        Settle();
        EXPECT_FALSE(State().frmPageSelection.IsLoaded()) << "every way out unloads it";
        return State().PageSelectionChoice;
    }
};

TEST_F(PageSelectionTest, CaptionControlsAndTheirOrder) {
    PageSelectionDialog& dialog = State().frmPageSelection.Get();
    EXPECT_EQ(dialog.windowTitle(), "Page Selection");
    EXPECT_EQ(dialog.opPageSelection1->text(), "Print All Pages");
    EXPECT_EQ(dialog.opPageSelection2->text(), "Print Current Page");
    EXPECT_EQ(dialog.OKButton->text(), "OK");
    EXPECT_EQ(dialog.CancelButton->text(), "Cancel");
    dialog.show();
    // Top to bottom in the order of the design, every one inside the dialog.
    const QWidget* order[] = {dialog.opPageSelection1, dialog.opPageSelection2, dialog.OKButton,
                              dialog.CancelButton};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(dialog.rect().contains(order[i]->geometry())) << i;
        if (i > 0) {
            EXPECT_GE(order[i]->y(), order[i - 1]->geometry().bottom()) << i;
        }
    }
    EXPECT_TRUE(dialog.opPageSelection1->isChecked());
    EXPECT_FALSE(dialog.opPageSelection2->isChecked());
    // One group: choosing one clears the other, both ways.
    QTest::mouseClick(dialog.opPageSelection2, Qt::LeftButton);
    EXPECT_FALSE(dialog.opPageSelection1->isChecked());
    QTest::mouseClick(dialog.opPageSelection1, Qt::LeftButton);
    EXPECT_FALSE(dialog.opPageSelection2->isChecked());
    EXPECT_TRUE(dialog.opPageSelection1->isChecked());
}

TEST_F(PageSelectionTest, ItOpensCentredWithOkFocusedAndNoRefreshPending) {
    const int choice = OpenAndAnswer([](PageSelectionDialog& dialog) {
        EXPECT_EQ(dialog.pos(), ScreenCentred(dialog));
        EXPECT_EQ(QApplication::focusWidget(), dialog.OKButton);
        EXPECT_FALSE(State().RefreshPending);
        QTest::mouseClick(dialog.CancelButton, Qt::LeftButton);
    });
    EXPECT_EQ(choice, 0);
    EXPECT_FALSE(State().RefreshPending);
}

TEST_F(PageSelectionTest, OkGivesAllPagesOrTheCurrentPage) {
    EXPECT_EQ(OpenAndAnswer([](PageSelectionDialog& d) { QTest::mouseClick(d.OKButton, Qt::LeftButton); }),
              1);
    EXPECT_EQ(OpenAndAnswer([](PageSelectionDialog& d) {
                  QTest::mouseClick(d.opPageSelection2, Qt::LeftButton);
                  QTest::mouseClick(d.OKButton, Qt::LeftButton);
              }),
              2);
    // The keyboard way: arrow down to the second choice, Tab on to OK, space.
    EXPECT_EQ(OpenAndAnswer([](PageSelectionDialog& d) {
                  d.opPageSelection1->setFocus();
                  PressKey(Qt::Key_Down);
                  EXPECT_TRUE(d.opPageSelection2->isChecked());
                  d.OKButton->setFocus();
                  PressKey(Qt::Key_Space);
              }),
              2);
}

TEST_F(PageSelectionTest, EnterRightAwayPressesOk) {
    State().PageSelectionChoice = 0;
    EXPECT_EQ(OpenAndAnswer([](PageSelectionDialog&) { PressKey(Qt::Key_Return); }), 1);
    EXPECT_EQ(OpenAndAnswer([](PageSelectionDialog& d) {
                  d.opPageSelection2->setChecked(true);
                  d.OKButton->setFocus();
                  PressKey(Qt::Key_Enter);
              }),
              2);
}

TEST_F(PageSelectionTest, CancelAndEscGiveZeroAfterAnEarlierOk) {
    const auto ok = [](PageSelectionDialog& d) { QTest::mouseClick(d.OKButton, Qt::LeftButton); };
    ASSERT_EQ(OpenAndAnswer(ok), 1);
    EXPECT_EQ(OpenAndAnswer([](PageSelectionDialog& d) {
                  d.opPageSelection2->setChecked(true);
                  QTest::mouseClick(d.CancelButton, Qt::LeftButton);
              }),
              0);
    for (int control = 0; control < 4; ++control) {
        SCOPED_TRACE(control);
        ASSERT_EQ(OpenAndAnswer(ok), 1);
        EXPECT_EQ(
            OpenAndAnswer([control](PageSelectionDialog& d) {
                QWidget* targets[] = {d.opPageSelection1, d.opPageSelection2, d.OKButton, d.CancelButton};
                targets[control]->setFocus();
                PressKey(Qt::Key_Escape);
            }),
            0);
    }
    EXPECT_EQ(OpenAndAnswer([](PageSelectionDialog& d) {
                  d.CancelButton->setFocus();
                  PressKey(Qt::Key_Return);
              }),
              0);
}

TEST_F(PageSelectionTest, EveryShowingStartsFromAFreshLoad) {
    QPointer<PageSelectionDialog> first;
    ASSERT_EQ(OpenAndAnswer([&](PageSelectionDialog& d) {
                  first = &d;
                  QTest::mouseClick(d.opPageSelection2, Qt::LeftButton);
                  QTest::mouseClick(d.OKButton, Qt::LeftButton);
              }),
              2);
    EXPECT_TRUE(first.isNull()) << "the unloaded dialog is deleted";
    EXPECT_EQ(OpenAndAnswer([](PageSelectionDialog& d) {
                  EXPECT_TRUE(d.opPageSelection1->isChecked());
                  EXPECT_FALSE(d.opPageSelection2->isChecked());
                  QTest::mouseClick(d.OKButton, Qt::LeftButton);
              }),
              1);
}

// ---------------------------------------------------------------------------------------
// Printer setup

// A recording printer that also logs its settings as they are set, and can refuse one.
class SettingsLogPrinter : public RecordingPrinter {
public:
    explicit SettingsLogPrinter(const QString& name) : RecordingPrinter(11520, 15120, 12240, 15840, name) {}

    QStringList log;
    std::vector<bool> hourglass; // whether the wait cursor was up at each setting
    QString refuse;              // the setting that raises error 380

    void SetCopies(int16_t v) override {
        Note("copies", v);
        RecordingPrinter::SetCopies(v);
    }
    void SetDuplex(int16_t v) override {
        Note("duplex", v);
        RecordingPrinter::SetDuplex(v);
    }
    void SetOrientation(int16_t v) override {
        Note("orientation", v);
        RecordingPrinter::SetOrientation(v);
    }
    void SetPaperSize(int16_t v) override {
        Note("paper", v);
        RecordingPrinter::SetPaperSize(v);
    }

private:
    void Note(const char* what, int16_t value) {
        log << QStringLiteral("%1=%2").arg(QLatin1String(what)).arg(value);
        const QCursor* cursor = QApplication::overrideCursor();
        hourglass.push_back(cursor != nullptr && cursor->shape() == Qt::WaitCursor);
        if (refuse == QLatin1String(what))
            throw RuntimeError(err::kInvalidPropertyValue);
    }
};

class PrinterSetupTest : public EngineTest {
protected:
    void TearDown() override {
        SetPrintDialogRunner(nullptr);
        Printers::SetBuiltInPdfListed(true);
        EngineTest::TearDown();
    }

    SettingsLogPrinter& UseLogPrinter(const QString& name) {
        auto printer = std::make_unique<SettingsLogPrinter>(name);
        SettingsLogPrinter& raw = *printer;
        Printers::SetCurrent(std::move(printer));
        return raw;
    }

    // A stand-in for the system dialog that notes what it is given and answers with the user's
    // choice: the printer's name and copies, duplex, orientation and paper code.
    void UserAccepts(const QString& device, int16_t copies = 1, int16_t duplex = Printer::kSimplex,
                     int16_t orientation = Printer::kPortrait, int16_t paper = Printer::kPaperLetter) {
        UserAnswers(true, device, copies, duplex, orientation, paper);
    }
    // The same choice, then Cancel.
    void UserCancels(const QString& device, int16_t copies = 1, int16_t duplex = Printer::kSimplex,
                     int16_t orientation = Printer::kPortrait, int16_t paper = Printer::kPaperLetter) {
        UserAnswers(false, device, copies, duplex, orientation, paper);
    }

    static void Run(QWidget* owner = nullptr) {
        int16_t flags = kPrintSetupFlag;
        ShowPrinterDlg(owner, flags);
    }

    int shown = 0;
    QWidget* seenOwner = nullptr;
    uint32_t seenFlags = 0;
    std::optional<DeviceMode> seen;

private:
    void UserAnswers(bool accept, const QString& device, int16_t copies, int16_t duplex, int16_t orientation,
                     int16_t paper) {
        SetPrintDialogRunner([=, this](QWidget* owner, uint32_t flags, DeviceMode& mode) {
            ++shown;
            seenOwner = owner;
            seenFlags = flags;
            seen = mode;
            mode.dmDeviceName = device;
            mode.dmCopies = copies;
            mode.dmDuplex = duplex;
            mode.dmOrientation = orientation;
            mode.dmPaperSize = paper;
            return accept;
        });
    }
};

TEST_F(PrinterSetupTest, TheDialogIsGivenTheCurrentPrinterAndItsSettings) {
    SettingsLogPrinter& printer = UseLogPrinter("Office Laser");
    printer.SetOrientation(Printer::kLandscape);
    printer.SetDuplex(Printer::kDuplexShortEdge);
    printer.SetPaperSize(Printer::kPaperA4);
    printer.SetCopies(4);
    printer.log.clear();
    UserCancels("");
    QWidget owner;
    int16_t flags = kPrintSetupFlag;
    ShowPrinterDlg(&owner, flags);
    ASSERT_EQ(shown, 1);
    EXPECT_EQ(seenOwner, &owner);
    EXPECT_EQ(seenFlags, 64u);
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->dmDeviceName, QString("Office Laser").leftJustified(32, ' '));
    EXPECT_EQ(seen->dmSize, 122);
    EXPECT_EQ(seen->dmFields, 0x1001u);
    EXPECT_EQ(seen->dmOrientation, Printer::kLandscape);
    EXPECT_EQ(seen->dmDuplex, Printer::kDuplexShortEdge);
    // Paper and copies are not offered to the dialog.
    EXPECT_EQ(seen->dmPaperSize, 0);
    EXPECT_EQ(seen->dmCopies, 0);

    // The flags reach the dialog widened as the signed 16-bit value they are.
    flags = -32768;
    ShowPrinterDlg(&owner, flags);
    EXPECT_EQ(seenFlags, 0xFFFF8000u);

    // A name longer than the record's 32 characters is cut to them.
    UseLogPrinter("A printer whose name is far longer than thirty-two");
    Run();
    EXPECT_EQ(seen->dmDeviceName, QString("A printer whose name is far long"));
}

TEST_F(PrinterSetupTest, CancelLeavesPrinterSettingsAndTheAnswerAlone) {
    for (bool acceptedBefore : {false, true}) {
        SCOPED_TRACE(acceptedBefore);
        SettingsLogPrinter& printer = UseLogPrinter("pdf");
        State().PrintDialogAccepted = acceptedBefore;
        UserCancels("PDF", 3, Printer::kDuplexLongEdge, Printer::kLandscape, Printer::kPaperA3);
        Run();
        EXPECT_EQ(shown, 1);
        shown = 0;
        EXPECT_EQ(&Printers::Current(), &printer) << "the printer was changed";
        EXPECT_TRUE(printer.log.isEmpty()) << printer.log.join(' ').toStdString();
        EXPECT_EQ(printer.Copies(), 1);
        EXPECT_EQ(printer.Orientation(), Printer::kPortrait);
        EXPECT_EQ(State().PrintDialogAccepted, acceptedBefore);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(PrinterSetupTest, AcceptAppliesCopiesDuplexOrientationAndPaperInThatOrder) {
    // The chosen name is the current one: the printer stays, only its settings change.
    SettingsLogPrinter& printer = UseLogPrinter("OFFICE");
    State().PrintDialogAccepted = false;
    UserAccepts("OFFICE", 3, Printer::kDuplexLongEdge, Printer::kLandscape, Printer::kPaperLegal);
    Run();
    EXPECT_EQ(&Printers::Current(), &printer);
    EXPECT_EQ(printer.log, QStringList({"copies=3", "duplex=2", "orientation=2", "paper=5"}));
    EXPECT_EQ(printer.hourglass, std::vector<bool>(4, true));
    EXPECT_EQ(printer.Copies(), 3);
    EXPECT_EQ(printer.Duplex(), Printer::kDuplexLongEdge);
    EXPECT_EQ(printer.Orientation(), Printer::kLandscape);
    EXPECT_EQ(printer.PaperSize(), Printer::kPaperLegal);
    EXPECT_TRUE(State().PrintDialogAccepted);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(messages.empty());
}

TEST_F(PrinterSetupTest, ThePrinterAlreadyCurrentInTheSameCaseIsNotLookedUp) {
    // Named like the built-in PDF printer: a walk of the list would replace this one with it.
    SettingsLogPrinter& printer = UseLogPrinter("PDF");
    UserAccepts("PDF", 2);
    Run();
    EXPECT_EQ(&Printers::Current(), &printer);
    EXPECT_EQ(printer.Copies(), 2);
    EXPECT_TRUE(State().PrintDialogAccepted);
}

TEST_F(PrinterSetupTest, ANameThatDiffersOnlyInCaseSelectsTheListedPrinter) {
    // The current printer's "pdf" is not the upper-cased choice "PDF", so the list is walked,
    // where the built-in printer's "PDF" matches without regard to case.
    UseLogPrinter("pdf");
    UserAccepts("Pdf", 2, Printer::kDuplexShortEdge, Printer::kLandscape, Printer::kPaperA5);
    Run();
    Printer& current = Printers::Current();
    EXPECT_EQ(dynamic_cast<SettingsLogPrinter*>(&current), nullptr) << "the printer was not replaced";
    EXPECT_EQ(current.DeviceName(), "PDF");
    // The settings went to the newly selected printer.
    EXPECT_EQ(current.Copies(), 2);
    EXPECT_EQ(current.Duplex(), Printer::kDuplexShortEdge);
    EXPECT_EQ(current.Orientation(), Printer::kLandscape);
    EXPECT_EQ(current.PaperSize(), Printer::kPaperA5);
    EXPECT_TRUE(State().PrintDialogAccepted);
    EXPECT_TRUE(messages.empty());
}

TEST_F(PrinterSetupTest, TheChosenNameEndsAtItsFirstZeroCharacter) {
    UseLogPrinter("pdf");
    UserAccepts(QStringLiteral("pdf") + QChar(0) + QStringLiteral("left over"));
    Run();
    EXPECT_EQ(Printers::Current().DeviceName(), "PDF");
}

TEST_F(PrinterSetupTest, ANameNotInTheListKeepsThePrinterAndAppliesTheSettings) {
    // The built-in printer hidden from the list cannot be chosen by its name.
    Printers::SetBuiltInPdfListed(false);
    SettingsLogPrinter& printer = UseLogPrinter("pdf");
    UserAccepts("PDF", 5);
    Run();
    EXPECT_EQ(&Printers::Current(), &printer);
    EXPECT_EQ(printer.Copies(), 5);
    EXPECT_TRUE(State().PrintDialogAccepted);

    Printers::SetBuiltInPdfListed(true);
    UserAccepts("No Such Printer", 6);
    Run();
    EXPECT_EQ(&Printers::Current(), &printer);
    EXPECT_EQ(printer.Copies(), 6);
    EXPECT_TRUE(messages.empty());
}

TEST_F(PrinterSetupTest, ARefusedSettingIsReportedAndEndsTheProcedure) {
    SettingsLogPrinter& printer = UseLogPrinter("OFFICE");
    printer.refuse = "orientation";
    State().PrintDialogAccepted = false;
    UserAccepts("OFFICE", 3, Printer::kDuplexLongEdge, Printer::kLandscape, Printer::kPaperA4);
    Run();
    EXPECT_EQ(printer.log, QStringList({"copies=3", "duplex=2", "orientation=2"}));
    EXPECT_EQ(printer.Copies(), 3);
    EXPECT_EQ(printer.PaperSize(), Printer::kPaperLetter);
    EXPECT_FALSE(State().PrintDialogAccepted);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains("Invalid property value")) << messages[0].text.toStdString();
    EXPECT_TRUE(LogText().contains("PrinterComponent.9006.ShowPrinterDlg\t380\tInvalid property value"))
        << LogText().toStdString();
}

// The real dialog: what Qt's print dialog gives back is turned into the record's values.
class SystemPrintDialogTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        previousPdf_ = Printers::PdfOutputFile();
        // A file that does not exist yet, so accepting asks nothing about overwriting.
        Printers::SetPdfOutputFile(dir_.filePath("setup.pdf"));
    }
    void TearDown() override {
        Printers::SetPdfOutputFile(previousPdf_);
        EngineTest::TearDown();
    }

    static DeviceMode PdfMode(int16_t orientation) {
        DeviceMode mode;
        mode.dmDeviceName = Printers::BuiltInPdfName().leftJustified(32, ' ');
        mode.dmFields = DeviceMode::kOrientationField | DeviceMode::kDuplexField;
        mode.dmOrientation = orientation;
        mode.dmDuplex = Printer::kSimplex;
        return mode;
    }

    // Shows the dialog and closes it, accepting or not, as soon as it is up.
    bool RunDialog(DeviceMode& mode, bool accept, uint32_t flags = kPrintSetupFlag) {
        WhenModalOpens([accept, flags](QWidget* modal) {
            auto* dialog = qobject_cast<QPrintDialog*>(modal);
            if (dialog == nullptr) {
                ADD_FAILURE() << "the modal window is a " << modal->metaObject()->className();
                modal->close();
                return;
            }
            EXPECT_EQ(dialog->windowTitle(), "Print Setup");
            // The setup form offers no choice of pages; the print form keeps Qt's page range.
            EXPECT_EQ(dialog->testOption(QAbstractPrintDialog::PrintPageRange),
                      (flags & kPrintSetupFlag) == 0);
            EXPECT_FALSE(dialog->testOption(QAbstractPrintDialog::PrintCurrentPage));
            if (accept)
                dialog->accept();
            else
                QTest::keyClick(dialog, Qt::Key_Escape);
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the print dialog is still open";
                dialog->reject();
            }
        });
        return RunSystemPrintDialog(nullptr, flags, mode);
    }

private:
    QTemporaryDir dir_;
    QString previousPdf_;
};

TEST_F(SystemPrintDialogTest, AcceptingReturnsTheChosenPrinterAndSettings) {
    DeviceMode mode = PdfMode(Printer::kLandscape);
    ASSERT_TRUE(RunDialog(mode, true));
    EXPECT_EQ(mode.dmDeviceName, Printers::BuiltInPdfName());
    EXPECT_EQ(mode.dmOrientation, Printer::kLandscape);
    EXPECT_EQ(mode.dmDuplex, Printer::kSimplex);
    EXPECT_EQ(mode.dmCopies, 1);
    EXPECT_GT(mode.dmPaperSize, 0) << "a paper size the printer knows by its code";

    mode = PdfMode(Printer::kPortrait);
    ASSERT_TRUE(RunDialog(mode, true, 0));
    EXPECT_EQ(mode.dmOrientation, Printer::kPortrait);
}

TEST_F(SystemPrintDialogTest, CancellingReturnsFalseAndLeavesTheRecord) {
    DeviceMode mode = PdfMode(Printer::kLandscape);
    EXPECT_FALSE(RunDialog(mode, false));
    EXPECT_EQ(mode.dmDeviceName, Printers::BuiltInPdfName().leftJustified(32, ' '));
    EXPECT_EQ(mode.dmOrientation, Printer::kLandscape);
    EXPECT_EQ(mode.dmCopies, 0);
    EXPECT_EQ(mode.dmPaperSize, 0);
}

} // namespace

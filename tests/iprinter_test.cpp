#include "component/IPrinter.h"
#include "component/JobState.h"
#include "component/Variant.h"
#include "platform/MessageBox.h"
#include "platform/Printer.h"
#include "platform/RuntimeError.h"

#include <QPrinterInfo>
#include <gtest/gtest.h>
#include <thread>

namespace telmo {

// Readable failure output for Variant comparisons.
void PrintTo(const Variant& value, std::ostream* os) {
    *os << value.Describe().toStdString();
}

namespace {

using Kind = IPrinter::CallKind;

struct FakeGrid : AutomationObject {};

// Runs the call and returns the run-time error number it raised, or 0 when it raised none.
template <class F> int32_t ErrorOf(F&& call) {
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.Number();
    }
    return 0;
}

const QString kTimes = QStringLiteral("Times New Roman");

// Every test starts from the state a host sees after creating an object and setting nothing
// that survives creation; the fields that do survive are cleared by hand.
class IPrinterTest : public ::testing::Test {
protected:
    void SetUp() override {
        JobState& s = State();
        s.Title1Message = s.Title2Message = s.Title3Message = s.Title4Message = QString();
        s.CurrDateMessage = s.CurrDateFontName = QString();
        s.CurrDateFontSize = 0;
        s.SourceGridObj.reset();
        s.StartRowValue = 0;
        s.ErrorLogFilePath = QString();
        s.CurrentAction = QString();
    }
    void TearDown() override {
        Printers::SetBuiltInPdfListed(true);
        MessageBox::SetSink(nullptr);
    }
};

// ---- Variant ------------------------------------------------------------------------------

TEST(VariantTest, BooleansAreHeldAsAutomationValues) {
    EXPECT_EQ(Variant(true).ToBool(), -1);
    EXPECT_EQ(Variant(false).ToBool(), 0);
    EXPECT_EQ(Variant(true).ToInteger(), -1);
    EXPECT_TRUE(Variant(true).IsTrue());
    EXPECT_FALSE(Variant::Boolean(1).IsTrue());
    EXPECT_EQ(Variant::Boolean(1).ToBool(), 1);
    EXPECT_EQ(Variant(true).ToString(), QStringLiteral("True"));
    EXPECT_EQ(Variant(false).ToString(), QStringLiteral("False"));
    EXPECT_EQ(Variant("true").ToBool(), -1);
    EXPECT_EQ(Variant(" False ").ToBool(), 0);
    EXPECT_EQ(Variant(int16_t{1}).ToBool(), 1);
    EXPECT_EQ(Variant(2.5).ToBool(), -1); // not a whole number: plain "non-zero"
    EXPECT_EQ(Variant(100000).ToBool(), -1);
    EXPECT_EQ(Variant(0.0).ToBool(), 0);
    EXPECT_EQ(Variant().ToBool(), 0);
    EXPECT_EQ(ErrorOf([] { Variant("maybe").ToBool(); }), err::kTypeMismatch);
}

TEST(VariantTest, NumericConversions) {
    EXPECT_EQ(Variant().ToInteger(), 0);
    EXPECT_EQ(Variant().ToString(), QString());
    EXPECT_EQ(Variant("12").ToInteger(), 12);
    EXPECT_EQ(Variant(" -7 ").ToLong(), -7);
    EXPECT_EQ(Variant("2.5").ToInteger(), 2); // halves to even
    EXPECT_EQ(Variant(3.5).ToInteger(), 4);
    EXPECT_EQ(Variant(-2.5f).ToInteger(), -2);
    EXPECT_FLOAT_EQ(Variant("1.25").ToSingle(), 1.25f);
    EXPECT_EQ(ErrorOf([] { Variant(32767.5).ToInteger(); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { Variant(-32769).ToInteger(); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { Variant(3e9).ToLong(); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { Variant(1e300).ToSingle(); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { Variant("abc").ToInteger(); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([] { Variant("").ToDouble(); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([] { Variant("inf").ToDouble(); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([] { Variant(ObjectRef()).ToDouble(); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([] { Variant::Missing().ToDouble(); }), err::kTypeMismatch);
}

TEST(VariantTest, StringAndObjectConversions) {
    EXPECT_EQ(Variant(int16_t{-5}).ToString(), QStringLiteral("-5"));
    EXPECT_EQ(Variant(70000).ToString(), QStringLiteral("70000"));
    EXPECT_EQ(Variant(1.5).ToString(), QStringLiteral("1.5"));
    EXPECT_EQ(Variant(0.1f).ToString(), QStringLiteral("0.1"));
    EXPECT_EQ(Variant(1e20).ToString(), QStringLiteral("1E+20"));
    EXPECT_EQ(ErrorOf([] { Variant(ObjectRef()).ToString(); }), err::kTypeMismatch);
    const auto grid = std::make_shared<FakeGrid>();
    EXPECT_EQ(Variant(grid).ToObject(), grid);
    EXPECT_EQ(ErrorOf([] { Variant("grid").ToObject(); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([] { Variant().ToObject(); }), err::kTypeMismatch);
}

// ---- creation and the shared state ------------------------------------------------------------

TEST_F(IPrinterTest, CreationResetsOnlyTheStylesMarginsFixedRowsAndSeparator) {
    JobState& s = State();
    s.Title1Message = "kept 1";
    s.Title4Message = "kept 4";
    s.CurrDateMessage = "1 Jan";
    s.CurrDateFontName = "Arial";
    s.CurrDateFontSize = 9;
    s.Title1FontName = s.Title2FontName = s.Title3FontName = s.Title4FontName = "Courier";
    s.Title1FontSize = s.Title2FontSize = s.Title3FontSize = s.Title4FontSize = 99;
    s.Title1Alignment = s.Title2Alignment = s.Title3Alignment = s.Title4Alignment = 3;
    s.HeaderLeftMargin = s.HeaderRightMargin = 7;
    s.FixedRowCount = 4;
    s.TitleSepratorFlag = kAutomationTrue;
    const auto grid = std::make_shared<FakeGrid>();
    s.SourceGridObj = grid;
    s.StartRowValue = 8;
    s.ErrorLogFilePath = "/tmp/x.log";

    IPrinter printer;

    EXPECT_EQ(s.Title1FontName, kTimes);
    EXPECT_EQ(s.Title1FontSize, 16);
    EXPECT_EQ(s.Title1Alignment, 2);
    EXPECT_EQ(s.Title2FontName, kTimes);
    EXPECT_EQ(s.Title2FontSize, 12);
    EXPECT_EQ(s.Title2Alignment, 2);
    EXPECT_EQ(s.Title3FontName, kTimes);
    EXPECT_EQ(s.Title3FontSize, 10);
    EXPECT_EQ(s.Title3Alignment, 2);
    EXPECT_EQ(s.Title4FontName, kTimes);
    EXPECT_EQ(s.Title4FontSize, 10);
    EXPECT_EQ(s.Title4Alignment, 2);
    EXPECT_EQ(s.HeaderLeftMargin, 100);
    EXPECT_EQ(s.HeaderRightMargin, 100);
    EXPECT_EQ(s.FixedRowCount, 0);
    EXPECT_EQ(s.TitleSepratorFlag, kAutomationFalse);
    // What survives creation.
    EXPECT_EQ(s.Title1Message, QStringLiteral("kept 1"));
    EXPECT_EQ(s.Title4Message, QStringLiteral("kept 4"));
    EXPECT_EQ(s.CurrDateMessage, QStringLiteral("1 Jan"));
    EXPECT_EQ(s.CurrDateFontName, QStringLiteral("Arial"));
    EXPECT_EQ(s.CurrDateFontSize, 9);
    EXPECT_EQ(s.SourceGridObj, grid);
    EXPECT_EQ(s.StartRowValue, 8.0f);
    EXPECT_EQ(printer.ErrorLogFile(), QStringLiteral("/tmp/x.log"));
}

TEST_F(IPrinterTest, ObjectsOfOneThreadShareTheState) {
    IPrinter first;
    first.Title1("Sales", ALIGNLEFT, "Arial", 20);
    first.StartRow(Variant(5));
    first.ErrorLogFile("/tmp/first.log");
    const auto grid = std::make_shared<FakeGrid>();
    first.SourceGrid(grid);

    IPrinter second;
    // The texts, grid, start row and log path of the first object are the second's.
    EXPECT_EQ(State().Title1Message, QStringLiteral("Sales"));
    EXPECT_EQ(second.StartRow(), Variant(4.0f));
    EXPECT_EQ(second.ErrorLogFile(), QStringLiteral("/tmp/first.log"));
    EXPECT_EQ(State().SourceGridObj, grid);
    // Creating the second put the styles of line 1 back for both.
    EXPECT_EQ(State().Title1Alignment, 2);
    EXPECT_EQ(State().Title1FontName, kTimes);
    EXPECT_EQ(State().Title1FontSize, 16);

    second.TitleSeprator(kAutomationTrue);
    EXPECT_EQ(first.TitleSeprator(), kAutomationTrue);
}

TEST_F(IPrinterTest, AnotherThreadHasItsOwnFreshState) {
    IPrinter here;
    here.StartRow(Variant(10));
    here.Title2("Here");
    here.ErrorLogFile("/tmp/here.log");

    Variant startRow, fixedRows;
    QString title2, logPath, pageNoPosition, dataFont, currDateFont;
    int16_t currDateSize = -1;
    std::thread other([&] {
        IPrinter there;
        startRow = there.StartRow();
        fixedRows = there.FixedRows();
        title2 = State().Title2Message;
        logPath = there.ErrorLogFile();
        pageNoPosition = State().PageNoPosition;
        dataFont = State().DataFontName;
        currDateFont = State().CurrDateFontName;
        currDateSize = State().CurrDateFontSize;
    });
    other.join();

    EXPECT_EQ(startRow, Variant(0.0f));
    EXPECT_EQ(fixedRows, Variant(int16_t{0}));
    EXPECT_EQ(title2, QString());
    EXPECT_EQ(logPath, QString());
    EXPECT_EQ(pageNoPosition, QString());
    EXPECT_EQ(dataFont, QString());
    EXPECT_EQ(currDateFont, QString());
    EXPECT_EQ(currDateSize, 0);
    EXPECT_EQ(State().Title2Message, QStringLiteral("Here"));
    EXPECT_EQ(here.StartRow(), Variant(9.0f));
}

// ---- title lines ------------------------------------------------------------------------------

TEST_F(IPrinterTest, TitleLinesStoreWhatIsGivenAndTakeTheirOwnDefaults) {
    IPrinter p;
    p.Title1("First", ALIGNRIGHT, "Arial", 30);
    p.Title1("Report"); // the left-out arguments take their defaults, which are stored
    EXPECT_EQ(State().Title1Message, QStringLiteral("Report"));
    EXPECT_EQ(State().Title1Alignment, ALIGNCENTER);
    EXPECT_EQ(State().Title1FontName, kTimes);
    EXPECT_EQ(State().Title1FontSize, 16);
    p.Title1("", ALIGNLEFT); // an empty text keeps the text
    EXPECT_EQ(State().Title1Message, QStringLiteral("Report"));
    EXPECT_EQ(State().Title1Alignment, ALIGNLEFT);

    // Explicit 0, negative and empty values keep what is stored; an unknown alignment is not checked.
    p.Title2("Keep", static_cast<TitleAlignment>(7), "Arial", 14);
    p.Title2("", static_cast<TitleAlignment>(-1), "", -5);
    EXPECT_EQ(State().Title2Message, QStringLiteral("Keep"));
    EXPECT_EQ(State().Title2Alignment, 7);
    EXPECT_EQ(State().Title2FontName, QStringLiteral("Arial"));
    EXPECT_EQ(State().Title2FontSize, 14);

    // A fresh object starts line 3 at 10; the method's own default is 12. Line 4's is 16.
    ASSERT_EQ(State().Title3FontSize, 10);
    p.Title3("Three");
    p.Title4("Four");
    EXPECT_EQ(State().Title3FontSize, 12);
    EXPECT_EQ(State().Title4FontSize, 16);
    EXPECT_EQ(State().Title4Message, QStringLiteral("Four"));
}

TEST_F(IPrinterTest, AnAlignmentOutside16BitsOverflowsAfterTheTextIsStored) {
    IPrinter p;
    p.Title1("Old", ALIGNRIGHT, "Arial", 20);
    EXPECT_EQ(ErrorOf([&] { p.Title1("New", static_cast<TitleAlignment>(70000), "Courier", 8); }),
              err::kOverflow);
    EXPECT_EQ(State().Title1Message, QStringLiteral("New"));
    EXPECT_EQ(State().Title1Alignment, ALIGNRIGHT);
    EXPECT_EQ(State().Title1FontName, QStringLiteral("Arial"));
    EXPECT_EQ(State().Title1FontSize, 20);
    EXPECT_EQ(ErrorOf([&] { p.Title1("", static_cast<TitleAlignment>(32767)); }), 0);
    EXPECT_EQ(State().Title1Alignment, 32767);
}

TEST_F(IPrinterTest, CurrDateStoresTheGivenTextAndItsDefaults) {
    IPrinter p;
    p.CurrDate("Printed on 1 March");
    EXPECT_EQ(State().CurrDateMessage, QStringLiteral("Printed on 1 March"));
    EXPECT_EQ(State().CurrDateFontName, kTimes);
    EXPECT_EQ(State().CurrDateFontSize, 10);
    p.CurrDate("", "Arial", 8);
    EXPECT_EQ(State().CurrDateMessage, QStringLiteral("Printed on 1 March"));
    EXPECT_EQ(State().CurrDateFontName, QStringLiteral("Arial"));
    EXPECT_EQ(State().CurrDateFontSize, 8);
    p.CurrDate("", "", 0);
    EXPECT_EQ(State().CurrDateFontName, QStringLiteral("Arial"));
    EXPECT_EQ(State().CurrDateFontSize, 8);
    // The date line's style is not reset on create.
    IPrinter again;
    EXPECT_EQ(State().CurrDateFontName, QStringLiteral("Arial"));
    EXPECT_EQ(State().CurrDateFontSize, 8);
}

// ---- properties -------------------------------------------------------------------------------

TEST_F(IPrinterTest, StartRowStoresOneLessAsSingle) {
    IPrinter p;
    EXPECT_EQ(p.StartRow(), Variant(0.0f));
    p.StartRow(Variant(5));
    EXPECT_EQ(p.StartRow(), Variant(4.0f));
    EXPECT_EQ(p.StartRow().type(), Variant::Type::Single);
    p.StartRow(Variant(0));
    p.StartRow(Variant(-3));
    p.StartRow(Variant());
    p.StartRow(Variant(true)); // -1: not greater than 0
    EXPECT_EQ(p.StartRow(), Variant(4.0f));
    p.StartRow(Variant("12"));
    EXPECT_EQ(p.StartRow(), Variant(11.0f));
    p.StartRow(Variant(2.5));
    EXPECT_EQ(p.StartRow(), Variant(1.5f));
}

TEST_F(IPrinterTest, ANonNumericStartRowIsATypeMismatch) {
    IPrinter p;
    p.StartRow(Variant(3));
    EXPECT_EQ(ErrorOf([&] { p.StartRow(Variant("abc")); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([&] { p.StartRow(Variant(std::make_shared<FakeGrid>())); }), err::kTypeMismatch);
    EXPECT_EQ(p.StartRow(), Variant(2.0f));
    EXPECT_EQ(ErrorOf([&] { p.StartRow(Variant(1e300)); }), err::kOverflow);
}

TEST_F(IPrinterTest, TitleSepratorIsStoredAsReceivedAndOnlyMinusOneIsTrue) {
    IPrinter p;
    EXPECT_EQ(p.TitleSeprator(), kAutomationFalse);
    p.TitleSeprator(kAutomationTrue);
    EXPECT_EQ(p.TitleSeprator(), -1);
    EXPECT_TRUE(IsAutomationTrue(State().TitleSepratorFlag));
    p.TitleSeprator(AutomationBool{1});
    EXPECT_EQ(p.TitleSeprator(), 1);
    EXPECT_FALSE(IsAutomationTrue(State().TitleSepratorFlag));
}

// ---- printers ---------------------------------------------------------------------------------

TEST_F(IPrinterTest, HasPrinterFollowsTheInstalledPrinters) {
    IPrinter p;
    // The built-in PDF printer is listed: there is always a printer.
    ASSERT_TRUE(Printers::InstalledNames().contains(Printers::BuiltInPdfName()));
    EXPECT_TRUE(p.HasPrinter());
    EXPECT_EQ(p.IsDefaultPrinter(), Variant(true));
    EXPECT_EQ(p.Invoke("HasPrinter"), Variant(true));
    EXPECT_EQ(p.Invoke("isdefaultprinter", {}, Kind::PropertyGet), Variant(true));

    // Without it, only the spooler's queues count.
    Printers::SetBuiltInPdfListed(false);
    const bool spoolerHasQueues = !QPrinterInfo::availablePrinterNames().isEmpty();
    std::vector<std::pair<QString, QString>> messages;
    MessageBox::SetSink([&](const QString& text, const QString& title, int) {
        messages.push_back({text, title});
    });
    EXPECT_EQ(p.HasPrinter(), spoolerHasQueues);
    EXPECT_EQ(p.IsDefaultPrinter(), Variant(spoolerHasQueues));
    EXPECT_EQ(p.Invoke("HASPRINTER"), Variant(spoolerHasQueues));
    // No printers is a result, not an error: nothing was reported.
    EXPECT_TRUE(messages.empty());
}

// ---- late binding -----------------------------------------------------------------------------

TEST_F(IPrinterTest, InvokeMatchesNamesIgnoringCase) {
    IPrinter p;
    p.Invoke("TITLE1", {Variant("Upper")});
    EXPECT_EQ(State().Title1Message, QStringLiteral("Upper"));
    p.Invoke("title2", {Variant("lower")});
    EXPECT_EQ(State().Title2Message, QStringLiteral("lower"));
    // A late-bound caller that wants a value asks for method and property get alike.
    p.Invoke("Title4", {Variant("As get")}, Kind::PropertyGet);
    EXPECT_EQ(State().Title4Message, QStringLiteral("As get"));
    EXPECT_EQ(p.Invoke("FixedRows", {}, Kind::Method), Variant(int16_t{0}));
    p.Invoke("ErrorLogFILE", {Variant("/tmp/a.log")}, Kind::PropertyPut);
    EXPECT_EQ(p.Invoke("errorlogfile", {}, Kind::PropertyGet), Variant("/tmp/a.log"));
}

TEST_F(IPrinterTest, InvokeGivesLeftOutOptionalArgumentsTheirDefaults) {
    IPrinter p;
    p.Title1("x", ALIGNRIGHT, "Arial", 30);
    p.Invoke("Title1", {Variant("Report")});
    EXPECT_EQ(State().Title1Alignment, 2);
    EXPECT_EQ(State().Title1FontName, kTimes);
    EXPECT_EQ(State().Title1FontSize, 16);

    // Missing and Empty mark a left-out argument in the middle of the list.
    p.Invoke("Title3", {Variant("Three"), Variant::Missing(), Variant("Arial"), Variant()});
    EXPECT_EQ(State().Title3Alignment, 2);
    EXPECT_EQ(State().Title3FontName, QStringLiteral("Arial"));
    EXPECT_EQ(State().Title3FontSize, 12);

    p.Invoke("Title4", {Variant("Four"), Variant(int16_t{3})});
    EXPECT_EQ(State().Title4Alignment, 3);
    EXPECT_EQ(State().Title4FontName, kTimes);
    EXPECT_EQ(State().Title4FontSize, 16);

    p.Invoke("CurrDate", {Variant("Today")});
    EXPECT_EQ(State().CurrDateMessage, QStringLiteral("Today"));
    EXPECT_EQ(State().CurrDateFontName, kTimes);
    EXPECT_EQ(State().CurrDateFontSize, 10);

    // An explicit empty text or 0 keeps the stored values.
    p.Invoke("CurrDate", {Variant(""), Variant(""), Variant(0)});
    EXPECT_EQ(State().CurrDateMessage, QStringLiteral("Today"));
    EXPECT_EQ(State().CurrDateFontName, kTimes);
    EXPECT_EQ(State().CurrDateFontSize, 10);
}

TEST_F(IPrinterTest, InvokeConvertsArgumentsAndNeverWritesThemBack) {
    IPrinter p;
    std::vector<Variant> args{Variant(42), Variant(2.6), Variant(QStringLiteral("Arial")), Variant("14")};
    const std::vector<Variant> before = args;
    p.Invoke("Title2", args);
    EXPECT_EQ(State().Title2Message, QStringLiteral("42"));
    EXPECT_EQ(State().Title2Alignment, 3); // 2.6 rounds to 3
    EXPECT_EQ(State().Title2FontName, QStringLiteral("Arial"));
    EXPECT_EQ(State().Title2FontSize, 14);
    EXPECT_EQ(args, before);

    std::vector<Variant> halves{Variant(""), Variant(2.5), Variant(), Variant(11.5)};
    p.Invoke("Title2", halves);
    EXPECT_EQ(State().Title2Alignment, 2); // halves to even
    EXPECT_EQ(State().Title2FontSize, 12);
    EXPECT_EQ(halves[1], Variant(2.5));

    std::vector<Variant> start{Variant("7")};
    p.Invoke("StartRow", start, Kind::PropertyPut);
    EXPECT_EQ(start[0], Variant("7"));
    EXPECT_EQ(p.Invoke("StartRow", {}, Kind::PropertyGet), Variant(6.0f));
}

TEST_F(IPrinterTest, InvokeOverflowOnAlignmentComesAfterTheText) {
    IPrinter p;
    p.Title1("Old");
    EXPECT_EQ(ErrorOf([&] { p.Invoke("Title1", {Variant("New"), Variant(70000)}); }), err::kOverflow);
    EXPECT_EQ(State().Title1Message, QStringLiteral("New"));
    EXPECT_EQ(State().Title1Alignment, 2);
}

TEST_F(IPrinterTest, InvokeConversionFailuresStoreNothing) {
    IPrinter p;
    p.Title1("Old");
    // The argument list is converted before the member runs.
    EXPECT_EQ(ErrorOf([&] {
                  p.Invoke("Title1", {Variant("New"), Variant(1), Variant(), Variant("big")});
              }),
              err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([&] {
                  p.Invoke("Title1", {Variant("New"), Variant(), Variant(), Variant(70000)});
              }),
              err::kOverflow);
    EXPECT_EQ(ErrorOf([&] { p.Invoke("Title1", {Variant("New"), Variant(5e9)}); }), err::kOverflow);
    EXPECT_EQ(State().Title1Message, QStringLiteral("Old"));
    EXPECT_EQ(State().Title1Alignment, 2);
}

TEST_F(IPrinterTest, InvokeBooleansCountAsTrueOnlyAtMinusOne) {
    IPrinter p;
    p.Invoke("TitleSeprator", {Variant(true)}, Kind::PropertyPut);
    EXPECT_EQ(p.Invoke("TitleSeprator", {}, Kind::PropertyGet), Variant(true));
    EXPECT_TRUE(IsAutomationTrue(State().TitleSepratorFlag));

    p.Invoke("TitleSeprator", {Variant::Boolean(1)}, Kind::PropertyPut);
    EXPECT_EQ(p.Invoke("TitleSeprator", {}, Kind::PropertyGet), Variant::Boolean(1));
    EXPECT_FALSE(IsAutomationTrue(State().TitleSepratorFlag));

    p.Invoke("TitleSeprator", {Variant(int16_t{-1})}, Kind::PropertyPut);
    EXPECT_TRUE(IsAutomationTrue(State().TitleSepratorFlag));
    p.Invoke("TitleSeprator", {Variant(1)}, Kind::PropertyPut);
    EXPECT_EQ(State().TitleSepratorFlag, 1);
    EXPECT_FALSE(IsAutomationTrue(State().TitleSepratorFlag));
    p.Invoke("TitleSeprator", {Variant(false)}, Kind::PropertyPut);
    EXPECT_EQ(State().TitleSepratorFlag, 0);
}

TEST_F(IPrinterTest, InvokeSourceGridTakesAnObject) {
    IPrinter p;
    const auto grid = std::make_shared<FakeGrid>();
    p.Invoke("SourceGrid", {Variant(grid)}, Kind::PropertyPutRef);
    EXPECT_EQ(State().SourceGridObj, grid);
    const auto other = std::make_shared<FakeGrid>();
    p.Invoke("sourcegrid", {Variant(other)}, Kind::PropertyPut);
    EXPECT_EQ(State().SourceGridObj, other);
    EXPECT_EQ(ErrorOf([&] { p.Invoke("SourceGrid", {Variant("grid")}, Kind::PropertyPut); }),
              err::kTypeMismatch);
    EXPECT_EQ(State().SourceGridObj, other);
    // Write only.
    EXPECT_EQ(ErrorOf([&] { p.Invoke("SourceGrid", {}, Kind::PropertyGet); }), err::kObjectDoesNotSupport);
}

TEST_F(IPrinterTest, InvokeErrors) {
    IPrinter p;
    EXPECT_EQ(ErrorOf([&] { p.Invoke("NoSuchMember"); }), err::kObjectDoesNotSupport);
    EXPECT_EQ(ErrorOf([&] { p.Invoke("Title5", {Variant("x")}); }), err::kObjectDoesNotSupport);
    EXPECT_EQ(ErrorOf([&] { p.Invoke("Title1"); }), err::kArgumentNotOptional);
    EXPECT_EQ(ErrorOf([&] { p.Invoke("Title1", {Variant::Missing()}); }), err::kArgumentNotOptional);
    EXPECT_EQ(ErrorOf([&] { p.Invoke("CurrDate"); }), err::kArgumentNotOptional);
    EXPECT_EQ(ErrorOf([&] {
                  p.Invoke("Title1", {Variant("a"), Variant(1), Variant("b"), Variant(2), Variant(3)});
              }),
              err::kWrongNumberOfArguments);
    EXPECT_EQ(ErrorOf([&] { p.Invoke("HasPrinter", {Variant(1)}); }), err::kWrongNumberOfArguments);
    EXPECT_EQ(ErrorOf([&] { p.Invoke("ErrorLogFile", {}, Kind::PropertyPut); }), err::kArgumentNotOptional);
    EXPECT_EQ(ErrorOf([&] {
                  p.Invoke("ErrorLogFile", {Variant("a"), Variant("b")}, Kind::PropertyPut);
              }),
              err::kWrongNumberOfArguments);
    EXPECT_EQ(ErrorOf([&] { p.Invoke("ErrorLogFile", {Variant("a")}, Kind::PropertyGet); }),
              err::kWrongNumberOfArguments);
    EXPECT_EQ(ErrorOf([&] { p.Invoke("Title1", {Variant("a")}, Kind::PropertyPut); }),
              err::kObjectDoesNotSupport);
    EXPECT_EQ(ErrorOf([&] { p.Invoke("HasPrinter", {Variant(true)}, Kind::PropertyPut); }),
              err::kObjectDoesNotSupport);
    EXPECT_EQ(ErrorOf([&] { p.Invoke("FixedRows", {Variant(1)}, Kind::PropertyPut); }),
              err::kObjectDoesNotSupport);
    // The run members check their arguments before anything runs.
    EXPECT_EQ(ErrorOf([&] { p.Invoke("PrintReport"); }), err::kArgumentNotOptional);
    EXPECT_EQ(ErrorOf([&] {
                  p.Invoke("PrintReport", {Variant(true), Variant(true)});
              }),
              err::kWrongNumberOfArguments);
    EXPECT_EQ(ErrorOf([&] { p.Invoke("ShowPreview", {Variant(1)}); }), err::kWrongNumberOfArguments);
    // Errors of the accessors reach the caller; nothing was stored by the failed calls.
    EXPECT_EQ(State().Title1Message, QString());
    EXPECT_EQ(p.ErrorLogFile(), QString());
}

} // namespace
} // namespace telmo

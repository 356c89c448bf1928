#include "component/IPrinter.h"
#include "component/JobState.h"
#include "component/Variant.h"
#include "platform/MessageBox.h"
#include "platform/Printer.h"
#include "platform/RuntimeError.h"

#include <QPrinterInfo>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace telmo {

void PrintTo(const Variant& value, std::ostream* os) {
    *os << value.Describe().toStdString();
}

namespace {

using Kind = IPrinter::CallKind;
using Args = std::vector<Variant>;
// A title line or the date line as stored: text, alignment, font name, font size.
using Line = std::tuple<QString, int, QString, int>;

struct FakeGrid : AutomationObject {};

const QString kTimes = QStringLiteral("Times New Roman");

// The run-time error number the call raised, or 0.
int32_t ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.Number();
    }
    return 0;
}

// Line n of the title block; 0 is the date line (alignment 0).
Line Stored(int n) {
    const JobState& s = State();
    const Line lines[] = {{s.CurrDateMessage, 0, s.CurrDateFontName, s.CurrDateFontSize},
                          {s.Title1Message, s.Title1Alignment, s.Title1FontName, s.Title1FontSize},
                          {s.Title2Message, s.Title2Alignment, s.Title2FontName, s.Title2FontSize},
                          {s.Title3Message, s.Title3Alignment, s.Title3FontName, s.Title3FontSize},
                          {s.Title4Message, s.Title4Alignment, s.Title4FontName, s.Title4FontSize}};
    return lines[n];
}

// Starts from what a host sees after creating an object; the fields that survive creation
// are cleared by hand.
class IPrinterTest : public ::testing::Test {
protected:
    void SetUp() override {
        JobState& s = State();
        s.Title1Message = s.Title2Message = s.Title3Message = s.Title4Message = QString();
        s.CurrDateMessage = s.CurrDateFontName = s.ErrorLogFilePath = s.CurrentAction = QString();
        s.CurrDateFontSize = 0;
        s.SourceGridObj.reset();
        s.StartRowValue = 0;
    }
    void TearDown() override {
        Printers::SetBuiltInPdfListed(true);
        MessageBox::SetSink(nullptr);
    }
    IPrinter p;
};

TEST(VariantTest, ConversionsFollowTheAutomationRules) {
    using Cases = std::vector<std::pair<Variant, int>>;
    // Booleans keep their raw value; only -1 is true.
    const Cases booleans{{true, -1},    {false, 0},     {Variant::Boolean(1), 1},
                         {"true", -1},  {" False ", 0}, {int16_t{1}, 1},
                         {2.5, -1},     {100000, -1},   {0.0, 0},
                         {Variant(), 0}};
    for (const auto& [value, raw] : booleans) {
        EXPECT_EQ(value.ToBool(), raw) << value.Describe().toStdString();
        EXPECT_EQ(value.IsTrue(), raw == -1) << value.Describe().toStdString();
    }
    // Whole numbers round halves to even.
    const Cases wholes{{Variant(), 0}, {true, -1},  {"12", 12},  {"2.5", 2},
                       {3.5, 4},       {-2.5f, -2}, {" -7 ", -7}};
    for (const auto& [value, whole] : wholes)
        EXPECT_EQ(value.ToInteger(), whole) << value.Describe().toStdString();
    EXPECT_FLOAT_EQ(Variant("1.25").ToSingle(), 1.25f);
    const std::vector<std::pair<Variant, QString>> texts{
        {true, "True"},   {false, "False"}, {Variant(), ""}, {int16_t{-5}, "-5"},
        {70000, "70000"}, {1.5, "1.5"},     {0.1f, "0.1"},   {1e20, "1E+20"}};
    for (const auto& [value, text] : texts)
        EXPECT_EQ(value.ToString(), text) << value.Describe().toStdString();
    const auto grid = std::make_shared<FakeGrid>();
    EXPECT_EQ(Variant(grid).ToObject(), grid);
    // 6 is Overflow, 13 Type mismatch.
    for (const auto& [value, error] : Cases{{32767.5, 6}, {-32769, 6}, {"abc", 13}})
        EXPECT_EQ(ErrorOf([&] { value.ToInteger(); }), error) << value.Describe().toStdString();
    for (const Variant& value : {Variant(""), Variant("inf"), Variant(ObjectRef()), Variant::Missing()})
        EXPECT_EQ(ErrorOf([&] { value.ToDouble(); }), 13) << value.Describe().toStdString();
    for (const Variant& value : {Variant("grid"), Variant()})
        EXPECT_EQ(ErrorOf([&] { value.ToObject(); }), 13) << value.Describe().toStdString();
    EXPECT_EQ(ErrorOf([] { Variant(3e9).ToLong(); }), 6);
    EXPECT_EQ(ErrorOf([] { Variant(1e300).ToSingle(); }), 6);
    EXPECT_EQ(ErrorOf([] { Variant("maybe").ToBool(); }), 13);
    EXPECT_EQ(ErrorOf([] { Variant(ObjectRef()).ToString(); }), 13);
}

TEST_F(IPrinterTest, CreationResetsOnlyTheStylesMarginsFixedRowsAndSeparator) {
    JobState& s = State();
    p.Title1("kept 1", ALIGNRIGHT, "Courier", 99);
    p.Title4("kept 4", ALIGNRIGHT, "Courier", 99);
    p.CurrDate("1 Jan", "Arial", 9);
    p.Title2("", ALIGNRIGHT, "Courier", 99);
    p.Title3("", ALIGNRIGHT, "Courier", 99);
    s.HeaderLeftMargin = s.HeaderRightMargin = 7;
    s.FixedRowCount = 4;
    s.TitleSepratorFlag = kAutomationTrue;
    const auto grid = std::make_shared<FakeGrid>();
    s.SourceGridObj = grid;
    s.StartRowValue = 8;
    s.ErrorLogFilePath = "/tmp/x.log";
    IPrinter created;
    EXPECT_EQ(Stored(1), Line("kept 1", 2, kTimes, 16));
    EXPECT_EQ(Stored(2), Line("", 2, kTimes, 12));
    EXPECT_EQ(Stored(3), Line("", 2, kTimes, 10));
    EXPECT_EQ(Stored(4), Line("kept 4", 2, kTimes, 10));
    EXPECT_EQ(Stored(0), Line("1 Jan", 0, "Arial", 9));
    EXPECT_EQ(std::tuple(s.HeaderLeftMargin, s.HeaderRightMargin, s.FixedRowCount, s.TitleSepratorFlag),
              std::tuple(100, 100, int16_t{0}, kAutomationFalse));
    EXPECT_EQ(s.SourceGridObj, grid);
    EXPECT_EQ(s.StartRowValue, 8.0f);
    EXPECT_EQ(created.ErrorLogFile(), QStringLiteral("/tmp/x.log"));
}

TEST_F(IPrinterTest, ObjectsOfAThreadShareTheStateAndAnotherThreadHasItsOwn) {
    p.Title2("Here", ALIGNLEFT, "Arial", 20);
    p.StartRow(Variant(5));
    p.ErrorLogFile("/tmp/first.log");
    const auto grid = std::make_shared<FakeGrid>();
    p.SourceGrid(grid);
    IPrinter second;
    EXPECT_EQ(Stored(2), Line("Here", 2, kTimes, 12)); // the text shared, the style reset for both
    EXPECT_EQ(second.StartRow(), Variant(4.0f));
    EXPECT_EQ(second.ErrorLogFile(), QStringLiteral("/tmp/first.log"));
    EXPECT_EQ(State().SourceGridObj, grid);
    second.TitleSeprator(kAutomationTrue);
    EXPECT_EQ(p.TitleSeprator(), kAutomationTrue);
    QStringList there; // start row, fixed rows, line 2, log, page number corner, fonts, date size
    std::thread([&] {
        IPrinter other;
        const JobState& s = State();
        there << other.StartRow().Describe() << other.FixedRows().Describe() << s.Title2Message
              << other.ErrorLogFile() << s.PageNoPosition << s.DataFontName << s.CurrDateFontName
              << QString::number(s.CurrDateFontSize);
    }).join();
    EXPECT_EQ(there, (QStringList{Variant(0.0f).Describe(), Variant(int16_t{0}).Describe(), "", "", "", "",
                                  "", "0"}));
    EXPECT_EQ(State().Title2Message, QStringLiteral("Here"));
    EXPECT_EQ(p.StartRow(), Variant(4.0f));
}

TEST_F(IPrinterTest, TitleAndDateLinesStoreWhatIsGivenAndTakeTheirOwnDefaults) {
    p.Title1("First", ALIGNRIGHT, "Arial", 30);
    p.Title1("Report"); // the left-out arguments take their defaults, which are stored
    EXPECT_EQ(Stored(1), Line("Report", ALIGNCENTER, kTimes, 16));
    p.Title1("", ALIGNLEFT); // an empty text keeps the text
    EXPECT_EQ(Stored(1), Line("Report", ALIGNLEFT, kTimes, 16));
    // Explicit 0, negative and empty values keep what is stored; an unknown alignment is not checked.
    p.Title2("Keep", static_cast<TitleAlignment>(7), "Arial", 14);
    p.Title2("", static_cast<TitleAlignment>(-1), "", -5);
    EXPECT_EQ(Stored(2), Line("Keep", 7, "Arial", 14));
    // A fresh object starts line 3 at 10; the method's own default is 12. Line 4's is 16.
    ASSERT_EQ(State().Title3FontSize, 10);
    p.Title3("Three");
    p.Title4("Four");
    EXPECT_EQ(Stored(3), Line("Three", 2, kTimes, 12));
    EXPECT_EQ(Stored(4), Line("Four", 2, kTimes, 16));
    p.CurrDate("Printed on 1 March");
    EXPECT_EQ(Stored(0), Line("Printed on 1 March", 0, kTimes, 10));
    p.CurrDate("", "Arial", 8);
    p.CurrDate("", "", 0);
    IPrinter again; // the date line's style is not reset on create
    EXPECT_EQ(Stored(0), Line("Printed on 1 March", 0, "Arial", 8));
}

TEST_F(IPrinterTest, AnAlignmentOutside16BitsOverflowsAfterTheTextIsStored) {
    p.Title1("Old", ALIGNRIGHT, "Arial", 20);
    EXPECT_EQ(ErrorOf([&] { p.Title1("New", static_cast<TitleAlignment>(70000), "Courier", 8); }),
              err::kOverflow);
    EXPECT_EQ(Stored(1), Line("New", ALIGNRIGHT, "Arial", 20));
    EXPECT_EQ(ErrorOf([&] { p.Title1("", static_cast<TitleAlignment>(32767)); }), 0);
    EXPECT_EQ(State().Title1Alignment, 32767);
    // Through Invoke too: the text first, then the overflow.
    EXPECT_EQ(ErrorOf([&] { p.Invoke("Title1", {Variant("Newer"), Variant(70000)}); }), err::kOverflow);
    EXPECT_EQ(Stored(1), Line("Newer", 32767, kTimes, 16));
}

TEST_F(IPrinterTest, StartRowStoresOneLessAsSingleWhenAboveZero) {
    EXPECT_EQ(p.StartRow(), Variant(0.0f));
    p.StartRow(Variant(5));
    EXPECT_EQ(p.StartRow(), Variant(4.0f));
    EXPECT_EQ(p.StartRow().type(), Variant::Type::Single);
    for (const Variant& ignored : {Variant(0), Variant(-3), Variant(), Variant(true)}) // true is -1
        p.StartRow(ignored);
    EXPECT_EQ(p.StartRow(), Variant(4.0f));
    p.StartRow(Variant(2.5));
    EXPECT_EQ(p.StartRow(), Variant(1.5f));
    EXPECT_EQ(ErrorOf([&] { p.StartRow(Variant("abc")); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([&] { p.StartRow(Variant(std::make_shared<FakeGrid>())); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([&] { p.StartRow(Variant(1e300)); }), err::kOverflow);
    EXPECT_EQ(p.StartRow(), Variant(1.5f));
    // Invoke converts a copy and never writes it back.
    Args start{Variant("7")};
    p.Invoke("StartRow", start, Kind::PropertyPut);
    EXPECT_EQ(start[0], Variant("7"));
    EXPECT_EQ(p.Invoke("StartRow", {}, Kind::PropertyGet), Variant(6.0f));
}

TEST_F(IPrinterTest, TitleSepratorIsStoredAsReceivedAndOnlyMinusOneIsTrue) {
    EXPECT_EQ(p.TitleSeprator(), kAutomationFalse);
    const std::vector<std::pair<Variant, int>> values{
        {true, -1}, {Variant::Boolean(1), 1}, {int16_t{-1}, -1}, {1, 1}, {false, 0}};
    for (const auto& [value, raw] : values) {
        SCOPED_TRACE(value.Describe().toStdString());
        p.Invoke("TitleSeprator", {value}, Kind::PropertyPut);
        EXPECT_EQ(State().TitleSepratorFlag, raw);
        EXPECT_EQ(IsAutomationTrue(State().TitleSepratorFlag), raw == -1);
        EXPECT_EQ(p.Invoke("TitleSeprator", {}, Kind::PropertyGet), Variant::Boolean(AutomationBool(raw)));
    }
    p.TitleSeprator(AutomationBool{1});
    EXPECT_EQ(p.TitleSeprator(), 1);
}

TEST_F(IPrinterTest, HasPrinterFollowsTheInstalledPrinters) {
    ASSERT_TRUE(Printers::InstalledNames().contains(Printers::BuiltInPdfName()));
    EXPECT_TRUE(p.HasPrinter());
    EXPECT_EQ(p.IsDefaultPrinter(), Variant(true));
    EXPECT_EQ(p.Invoke("isdefaultprinter", {}, Kind::PropertyGet), Variant(true));
    // Without the built-in PDF printer, only the spooler's queues count; none is no error.
    Printers::SetBuiltInPdfListed(false);
    const bool queues = !QPrinterInfo::availablePrinterNames().isEmpty();
    int reported = 0;
    MessageBox::SetSink([&](const QString&, const QString&, int) { ++reported; });
    EXPECT_EQ(p.HasPrinter(), queues);
    EXPECT_EQ(p.IsDefaultPrinter(), Variant(queues));
    EXPECT_EQ(p.Invoke("HASPRINTER"), Variant(queues));
    EXPECT_EQ(reported, 0);
}

TEST_F(IPrinterTest, InvokeMatchesNamesIgnoringCaseAndLeftOutArgumentsTakeTheirDefaults) {
    p.Title1("x", ALIGNRIGHT, "Arial", 30);
    p.Invoke("TITLE1", {Variant("Report")});
    EXPECT_EQ(Stored(1), Line("Report", 2, kTimes, 16));
    // Missing and Empty mark a left-out argument in the middle of the list.
    p.Invoke("title3", {Variant("Three"), Variant::Missing(), Variant("Arial"), Variant()});
    EXPECT_EQ(Stored(3), Line("Three", 2, "Arial", 12));
    // A caller that wants a value asks for method and property get alike.
    p.Invoke("Title4", {Variant("Four"), Variant(int16_t{3})}, Kind::PropertyGet);
    EXPECT_EQ(Stored(4), Line("Four", 3, kTimes, 16));
    EXPECT_EQ(p.Invoke("FixedRows", {}, Kind::Method), Variant(int16_t{0}));
    p.Invoke("CurrDate", {Variant("Today")});
    p.Invoke("CurrDate", {Variant(""), Variant(""), Variant(0)}); // explicit empty and 0 keep
    EXPECT_EQ(Stored(0), Line("Today", 0, kTimes, 10));
    p.Invoke("ErrorLogFILE", {Variant("/tmp/a.log")}, Kind::PropertyPut);
    EXPECT_EQ(p.Invoke("errorlogfile", {}, Kind::PropertyGet), Variant("/tmp/a.log"));
}

TEST_F(IPrinterTest, InvokeConvertsArgumentsNeverWritesThemBackAndStoresNothingWhenOneFails) {
    Args args{Variant(42), Variant(2.6), Variant("Arial"), Variant("14")};
    const Args before = args;
    p.Invoke("Title2", args);
    EXPECT_EQ(Stored(2), Line("42", 3, "Arial", 14));
    EXPECT_EQ(args, before);
    p.Invoke("Title2", {Variant(""), Variant(2.5), Variant(), Variant(11.5)}); // halves to even
    EXPECT_EQ(Stored(2), Line("42", 2, kTimes, 12));                           // Empty takes the default font
    // The whole argument list is converted before the member runs.
    for (const auto& [bad, error] : std::vector<std::pair<Args, int>>{
             {{Variant("New"), Variant(1), Variant(), Variant("big")}, err::kTypeMismatch},
             {{Variant("New"), Variant(), Variant(), Variant(70000)}, err::kOverflow},
             {{Variant("New"), Variant(5e9)}, err::kOverflow}})
        EXPECT_EQ(ErrorOf([&] { p.Invoke("Title2", bad); }), error);
    EXPECT_EQ(Stored(2), Line("42", 2, kTimes, 12));
}

TEST_F(IPrinterTest, InvokeTakesTheSourceGridObjectAndRaisesItsErrorsStoringNothing) {
    const auto grid = std::make_shared<FakeGrid>(), other = std::make_shared<FakeGrid>();
    p.Invoke("SourceGrid", {Variant(grid)}, Kind::PropertyPutRef);
    EXPECT_EQ(State().SourceGridObj, grid);
    p.Invoke("sourcegrid", {Variant(other)}, Kind::PropertyPut);
    // 438 no such member or call kind, 449 a required argument left out, 450 too many arguments.
    const Variant a("a"), one(1);
    const auto M = Kind::Method, Get = Kind::PropertyGet, Put = Kind::PropertyPut;
    const std::vector<std::tuple<const char*, Args, Kind, int>> calls{
        {"NoSuchMember", {}, M, 438},
        {"Title5", {a}, M, 438},
        {"Title1", {}, M, 449},
        {"Title1", {Variant::Missing()}, M, 449},
        {"CurrDate", {}, M, 449},
        {"Title1", {a, one, a, one, one}, M, 450},
        {"HasPrinter", {one}, M, 450},
        {"ErrorLogFile", {}, Put, 449},
        {"ErrorLogFile", {a, a}, Put, 450},
        {"ErrorLogFile", {a}, Get, 450},
        {"Title1", {a}, Put, 438},
        {"HasPrinter", {Variant(true)}, Put, 438},
        {"FixedRows", {one}, Put, 438},
        {"PrintReport", {}, M, 449},
        {"PrintReport", {Variant(true), Variant(true)}, M, 450},
        {"ShowPreview", {one}, M, 450}, // the run members check their arguments before running
        {"SourceGrid", {}, Get, 438},   // write only
        {"SourceGrid", {a}, Put, 13}};
    for (const auto& [member, args, kind, error] : calls)
        EXPECT_EQ(ErrorOf([&] { p.Invoke(member, args, kind); }), error) << member;
    EXPECT_EQ(State().Title1Message, QString());
    EXPECT_EQ(p.ErrorLogFile(), QString());
    EXPECT_EQ(State().SourceGridObj, other);
}

} // namespace
} // namespace telmo

#include "component/IPrinter.h"
#include "component/JobState.h"
#include "component/Variant.h"

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

const QString kTimes = "Times New Roman";

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

// What a host sees after creating an object; the fields that survive creation are cleared by hand.
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
    IPrinter p;
};

TEST(VariantTest, ConversionsFollowTheAutomationRules) {
    // Whole numbers round halves to even; a boolean is its raw value, true -1.
    const std::vector<std::pair<Variant, int>> wholes{
        {Variant(), 0},          {true, -1}, {"2.5", 2}, {3.5, 4}, {-2.5f, -2}, {" -7 ", -7},
        {Variant::Boolean(1), 1}};
    for (const auto& [value, whole] : wholes)
        EXPECT_EQ(value.ToInteger(), whole) << value.Describe().toStdString();
    for (const auto& [value, text] : std::vector<std::pair<Variant, QString>>{
             {true, "True"}, {Variant(), ""}, {70000, "70000"}, {0.1f, "0.1"}, {1e20, "1E+20"}})
        EXPECT_EQ(value.ToString(), text) << value.Describe().toStdString();
    EXPECT_TRUE(Variant(" true ").IsTrue() && Variant(2.5).IsTrue() && !Variant::Boolean(1).IsTrue());
    // Conversions that fail are met through Invoke in the late-binding tests.
}

TEST_F(IPrinterTest, CreationResetsOnlyTheStylesMarginsFixedRowsAndSeparator) {
    JobState& s = State();
    p.Title1("kept 1", ALIGNRIGHT, "Courier", 99);
    p.Title4("kept 4", ALIGNRIGHT, "Courier", 99);
    p.Title2("", ALIGNRIGHT, "Courier", 99);
    p.Title3("", ALIGNRIGHT, "Courier", 99);
    p.CurrDate("1 Jan", "Arial", 9);
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
    EXPECT_EQ(std::tuple(s.SourceGridObj, s.StartRowValue, created.ErrorLogFile()),
              std::tuple(ObjectRef(grid), 8.0f, "/tmp/x.log"));
}

TEST_F(IPrinterTest, ObjectsOfAThreadShareTheStateAndAnotherThreadHasItsOwn) {
    p.Title2("Here", ALIGNLEFT, "Arial", 20);
    p.StartRow(Variant(5));
    p.ErrorLogFile("/tmp/first.log");
    IPrinter second;
    EXPECT_EQ(Stored(2), Line("Here", 2, kTimes, 12)); // the text shared, the style reset for both
    EXPECT_EQ(std::tuple(second.StartRow(), second.ErrorLogFile()),
              std::tuple(Variant(4.0f), "/tmp/first.log"));
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
    EXPECT_EQ(State().Title2Message, "Here");
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
    p.CurrDate("", "", 0);
    EXPECT_EQ(Stored(0), Line("Printed on 1 March", 0, kTimes, 10));
}

TEST_F(IPrinterTest, StartRowStoresOneLessAsSingleWhenAboveZero) {
    p.StartRow(Variant(5));
    EXPECT_EQ(p.StartRow(), Variant(4.0f)); // Variant's == compares the type too: a Single
    for (const Variant& ignored : {Variant(0), Variant(-3), Variant(), Variant(true)}) // true is -1
        p.StartRow(ignored);
    EXPECT_EQ(p.StartRow(), Variant(4.0f));
    p.StartRow(Variant(2.5));
    EXPECT_EQ(p.StartRow(), Variant(1.5f));
    // Invoke converts a copy and never writes it back.
    Args start{Variant("7")};
    p.Invoke("StartRow", start, Kind::PropertyPut);
    EXPECT_EQ(start[0], Variant("7"));
    EXPECT_EQ(p.Invoke("StartRow", {}, Kind::PropertyGet), Variant(6.0f));
}

TEST_F(IPrinterTest, InvokeMatchesNamesIgnoringCaseConvertsACopyAndTakesDefaultsForLeftOutArguments) {
    // Missing and Empty mark a left-out argument in the middle of the list.
    p.Invoke("title3", {Variant("Three"), Variant::Missing(), Variant("Arial"), Variant()});
    EXPECT_EQ(Stored(3), Line("Three", 2, "Arial", 12));
    // A caller that wants a value asks for method and property get alike.
    p.Invoke("Title4", {Variant("Four"), Variant(int16_t{3})}, Kind::PropertyGet);
    EXPECT_EQ(Stored(4), Line("Four", 3, kTimes, 16));
    EXPECT_EQ(p.Invoke("FixedRows", {}, Kind::Method), Variant(int16_t{0}));
    p.Invoke("ErrorLogFILE", {Variant("/tmp/a.log")}, Kind::PropertyPut);
    EXPECT_EQ(p.Invoke("errorlogfile", {}, Kind::PropertyGet), Variant("/tmp/a.log"));
    Args args{Variant(42), Variant(2.6), Variant("Arial"), Variant("14")};
    const Args before = args;
    p.Invoke("Title2", args);
    EXPECT_EQ(Stored(2), Line("42", 3, "Arial", 14));
    EXPECT_EQ(args, before);
    p.Invoke("Title2", {Variant(""), Variant(2.5), Variant(), Variant(11.5)}); // halves to even
    EXPECT_EQ(Stored(2), Line("42", 2, kTimes, 12));                           // Empty takes the default font
    // The grid is set by reference or as a value alike.
    const auto grid = std::make_shared<FakeGrid>(), other = std::make_shared<FakeGrid>();
    p.Invoke("SourceGrid", {Variant(grid)}, Kind::PropertyPutRef);
    EXPECT_EQ(State().SourceGridObj, grid);
    p.Invoke("sourcegrid", {Variant(other)}, Kind::PropertyPut);
    EXPECT_EQ(State().SourceGridObj, other);
}

} // namespace
} // namespace telmo

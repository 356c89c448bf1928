#include "component/IPrinter.h"
#include "component/JobState.h"
#include "component/Variant.h"
#include "platform/RuntimeError.h"
#include "platform/ui/MessageBox.h"
#include "support/AutomationError.h"
#include "support/CommandRun.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

namespace telmo {

void PrintTo(const Variant& value, std::ostream* os) {
    *os << value.Describe().toStdString();
}

namespace {

using Kind = IPrinter::CallKind;
using Args = std::vector<Variant>;
using test::ErrorOf;
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
        MessageBox::SetBatchMode(true); // a box nobody answers would hang a failing test
    }
    void TearDown() override {
        MessageBox::SetSink(nullptr);
        State().SourceGridObj.reset();
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
}

// Objects of a thread share the state, which a new one partly resets; another thread has its own.
TEST_F(IPrinterTest, CreationResetsOnlyTheStylesMarginsFixedRowsAndSeparatorOfItsThread) {
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
    QStringList there; // start row, fixed rows, line 1, log, page number corner, fonts, date size
    std::thread([&] {
        IPrinter other;
        const JobState& t = State();
        there << other.StartRow().Describe() << other.FixedRows().Describe() << t.Title1Message
              << other.ErrorLogFile() << t.PageNoPosition << t.DataFontName << t.CurrDateFontName
              << QString::number(t.CurrDateFontSize);
    }).join();
    EXPECT_EQ(there, (QStringList{Variant(0.0f).Describe(), Variant(int16_t{0}).Describe(), "", "", "", "",
                                  "", "0"}));
    EXPECT_EQ(std::tuple(Stored(1), p.StartRow()), std::tuple(Line("kept 1", 2, kTimes, 16), Variant(8.0f)));
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
    // The grid is set as a value as by reference (which the message box test below sets).
    const auto grid = std::make_shared<FakeGrid>();
    p.Invoke("sourcegrid", {Variant(grid)}, Kind::PropertyPut);
    EXPECT_EQ(State().SourceGridObj, grid);
}

// Late-bound calls as a careless or hostile host makes them: each ends in an automation error, the
// job state as the member's store order leaves it, never a crash, even when its message box calls in.

// The fields a late-bound call can change, to see that a failed one changed nothing.
using Fields = std::tuple<QString, int, QString, int, QString, int, float, int, QString, bool>;
Fields Snapshot() {
    const JobState& s = State();
    return {s.Title1Message,    s.Title1Alignment,    s.Title1FontName, s.Title1FontSize,
            s.CurrDateMessage,  s.CurrDateFontSize,   s.StartRowValue,  s.TitleSepratorFlag,
            s.ErrorLogFilePath, bool(s.SourceGridObj)};
}

struct AbuseCase {
    const char *what, *member;
    Args args;
    Kind kind;
    int32_t error;
    bool storesMessage = false; // members store in order: a late argument failing leaves the text stored
};

TEST_F(IPrinterTest, EveryMisuseRaisesItsAutomationErrorAndStoresNothingItShouldNot) {
    const auto M = Kind::Method, Get = Kind::PropertyGet, Put = Kind::PropertyPut, Ref = Kind::PropertyPutRef;
    const Variant text("New"), empty, null = Variant::Null(), missing = Variant::Missing();
    const Variant object{ObjectRef(std::make_shared<FakeGrid>())};
    const Variant max16(int16_t{32767}), over16(40000), big(5e9);
    const Variant nan(std::numeric_limits<double>::quiet_NaN());
    const std::vector<AbuseCase> cases = {
        // Names that are not members, or members without that kind of call.
        {"unknown name", "Title5", {text}, M, err::kObjectDoesNotSupport},
        {"name in another script", "Tıtle1", {text}, M, err::kObjectDoesNotSupport},
        {"method as a put", "Title1", {text}, Put, err::kObjectDoesNotSupport},
        {"read-only property put", "FixedRows", {max16}, Put, err::kObjectDoesNotSupport},
        {"write-only property read", "SourceGrid", {}, Get, err::kObjectDoesNotSupport},
        {"value property put by reference", "StartRow", {max16}, Ref, err::kObjectDoesNotSupport},
        {"required text left out", "Title1", {}, M, err::kArgumentNotOptional},
        {"required text Missing", "Title2", {missing, max16}, M, err::kArgumentNotOptional},
        {"required flag left out", "PrintReport", {}, M, err::kArgumentNotOptional},
        {"put without a value", "StartRow", {}, Put, err::kArgumentNotOptional},
        {"argument to a read", "StartRow", {max16}, Get, err::kWrongNumberOfArguments},
        {"argument to a method without any", "IsDefaultPrinter", {empty}, M, err::kWrongNumberOfArguments},
        {"two values for a put", "ErrorLogFile", {text, text}, Put, err::kWrongNumberOfArguments},
        {"object as a text", "Title1", {object}, M, err::kTypeMismatch},
        {"text as a font size", "Title1", {text, empty, empty, Variant("twelve")}, M, err::kTypeMismatch},
        {"text as a start row", "StartRow", {Variant("first")}, Put, err::kTypeMismatch},
        {"text as the grid", "SourceGrid", {text}, Ref, err::kTypeMismatch},
        {"number as the grid", "SourceGrid", {max16}, Put, err::kTypeMismatch},
        {"Missing as the run flag", "PrintReport", {missing}, M, err::kArgumentNotOptional},
        {"40000 as a font size", "Title1", {text, empty, empty, over16}, M, err::kOverflow},
        {"40000 as an alignment, after the text", "Title1", {text, over16}, M, err::kOverflow, true},
        {"5e9 as an alignment", "Title1", {text, big}, M, err::kOverflow},
        {"NaN as a font size", "Title2", {text, empty, empty, nan}, M, err::kOverflow},
        {"32767.5 as a font size", "Title1", {text, empty, empty, Variant(32767.5)}, M, err::kOverflow},
        {"\"40000\" as a font size", "Title1", {text, empty, empty, Variant("40000")}, M, err::kOverflow},
        {"1e300 as a start row", "StartRow", {Variant(1e300)}, Put, err::kOverflow},
        // Null is no value at all: every conversion of it fails.
        {"Null as a text", "Title1", {null}, M, err::kInvalidUseOfNull},
        {"Null as a font size", "CurrDate", {text, empty, null}, M, err::kInvalidUseOfNull},
        {"Null as the run flag", "PrintReport", {null}, M, err::kInvalidUseOfNull},
        {"Null as the grid", "SourceGrid", {null}, Ref, err::kTypeMismatch},
        // Empty is a value: 0, "" or false, which these members ignore or store as given.
        {"Empty text is stored as nothing", "Title1", {empty}, M, 0},
        {"Empty start row is ignored", "StartRow", {empty}, Put, 0},
        {"Empty flag", "TitleSeprator", {empty}, Put, 0},
        {"32767 fits a font size", "Title1", {empty, empty, empty, max16}, M, 0},
    };
    for (const AbuseCase& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        State().Title1Message = "Before";
        const Fields before = Snapshot();
        EXPECT_EQ(ErrorOf([&] { p.Invoke(QString::fromUtf8(c.member), c.args, c.kind); }), c.error);
        Fields expected = before;
        if (c.storesMessage)
            std::get<0>(expected) = "New";
        if (c.error == 0 && std::string(c.member) == "Title1")
            std::get<3>(expected) = std::get<3>(Snapshot()); // the size is what a success stores
        if (c.error == 0 && std::string(c.member) == "TitleSeprator")
            std::get<7>(expected) = kAutomationFalse;
        EXPECT_EQ(Snapshot(), expected);
    }
}

// A host whose message handler calls the component again, with calls that fail or a second run
// (refused, 400), gets its errors and every report in order, and the run still returns.
TEST_F(IPrinterTest, CallsBackFromTheErrorMessageBoxAreServedAndFailCleanly) {
    QTemporaryDir dir;
    const QString log = dir.filePath("errors.log");
    p.ErrorLogFile(log);
    p.Invoke("SourceGrid", {Variant(ObjectRef(std::make_shared<FakeGrid>()))}, Kind::PropertyPutRef);
    std::vector<QString> messages;
    std::vector<int32_t> innerErrors;
    int depth = 0;
    MessageBox::SetSink([&](const QString& text, const QString&, int) {
        messages.push_back(text);
        ++depth;
        // Calls that fail inside the handler reach the handler, as they would reach a host.
        innerErrors.push_back(ErrorOf([&] { p.Invoke("Title1", {Variant::Null()}); }));
        innerErrors.push_back(ErrorOf([&] { p.Invoke("NoSuchMember"); }));
        innerErrors.push_back(ErrorOf([&] { p.Invoke("StartRow", {Variant(40000)}, Kind::PropertyPut); }));
        if (depth < 3) // the same run again, from inside its own report, three deep
            p.Invoke("ShowPreview");
        else // an error the handler lets escape does not take the log line with it
            throw RuntimeError(err::kTypeMismatch);
    });
    EXPECT_EQ(ErrorOf([&] { p.Invoke("ShowPreview"); }), 0);
    MessageBox::SetSink(nullptr);
    const QString failed =
        "Unable to show preview\r\nError: 438 - Object doesn't support this property or method";
    const QString refused =
        "Unable to show preview\r\nError: 400 - Form already displayed; can't show modally: a "
        "preview or print is already in progress; this request was ignored";
    EXPECT_EQ(messages, (std::vector<QString>{failed, refused, refused}));
    EXPECT_EQ(innerErrors, (std::vector<int32_t>{94, 438, 0, 94, 438, 0, 94, 438, 0}));
    // The start row of 40000 is accepted as 39999 (a single, not an Integer).
    EXPECT_EQ(p.Invoke("StartRow", {}, Kind::PropertyGet), Variant(39999.0f));
    const QList<QByteArray> lines = test::ReadFile(log).split('\n');
    ASSERT_EQ(lines.size(), 4); // three lines and what follows the last line end
    // Each report's box comes before its log line, so the refusals inside it are logged first.
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(lines[i].contains("\tPrinterComponent.9000.ShowPreview\t400\t"))
            << lines[i].toStdString();
    EXPECT_TRUE(lines[2].endsWith("\tPrinterComponent.9000.ShowPreview\t438\tObject doesn't support this "
                                  "property or method\r"))
        << lines[2].toStdString();
}

} // namespace
} // namespace telmo

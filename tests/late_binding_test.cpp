// Late-bound calls as a careless or hostile host makes them: each ends in an automation error, the
// job state as the member's store order leaves it, never a crash, even when its message box calls in.
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

namespace telmo {
namespace {

using Kind = IPrinter::CallKind;
using Args = std::vector<Variant>;

struct NotAGrid : AutomationObject {};

// The fields a late-bound call can change, to see that a failed one changed nothing.
using Stored = std::tuple<QString, int, QString, int, QString, int, float, int, QString, bool>;
Stored Snapshot() {
    const JobState& s = State();
    // clang-format off
    return {s.Title1Message, s.Title1Alignment, s.Title1FontName, s.Title1FontSize, s.CurrDateMessage,
            s.CurrDateFontSize, s.StartRowValue, s.TitleSepratorFlag, s.ErrorLogFilePath, bool(s.SourceGridObj)};
    // clang-format on
}

using test::ErrorOf;

class LateBindingAbuseTest : public ::testing::Test {
protected:
    void SetUp() override {
        JobState& s = State();
        s.Title1Message = "Before";
        s.CurrDateMessage = s.ErrorLogFilePath = s.CurrentAction = QString();
        s.CurrDateFontSize = 10;
        s.StartRowValue = 0;
        s.SourceGridObj.reset();
        MessageBox::SetBatchMode(true);
    }
    void TearDown() override {
        MessageBox::SetSink(nullptr);
        State().SourceGridObj.reset();
    }
    IPrinter p;
};

struct AbuseCase {
    const char *what, *member;
    Args args;
    Kind kind;
    int32_t error;
    bool storesMessage = false; // members store in order: a late argument failing leaves the text stored
};

TEST_F(LateBindingAbuseTest, EveryMisuseRaisesItsAutomationErrorAndStoresNothingItShouldNot) {
    const auto M = Kind::Method, Get = Kind::PropertyGet, Put = Kind::PropertyPut, Ref = Kind::PropertyPutRef;
    const Variant text("New"), empty, null = Variant::Null(), missing = Variant::Missing();
    const Variant object{ObjectRef(std::make_shared<NotAGrid>())};
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
        // Argument counts.
        {"required text left out", "Title1", {}, M, err::kArgumentNotOptional},
        {"required text Missing", "Title2", {missing, max16}, M, err::kArgumentNotOptional},
        {"required flag left out", "PrintReport", {}, M, err::kArgumentNotOptional},
        {"put without a value", "StartRow", {}, Put, err::kArgumentNotOptional},
        {"argument to a read", "StartRow", {max16}, Get, err::kWrongNumberOfArguments},
        {"argument to a method without any", "IsDefaultPrinter", {empty}, M, err::kWrongNumberOfArguments},
        {"two values for a put", "ErrorLogFile", {text, text}, Put, err::kWrongNumberOfArguments},
        // Types.
        {"object as a text", "Title1", {object}, M, err::kTypeMismatch},
        {"text as a font size", "Title1", {text, empty, empty, Variant("twelve")}, M, err::kTypeMismatch},
        {"text as a start row", "StartRow", {Variant("first")}, Put, err::kTypeMismatch},
        {"text as the grid", "SourceGrid", {text}, Ref, err::kTypeMismatch},
        {"number as the grid", "SourceGrid", {max16}, Put, err::kTypeMismatch},
        {"Missing as the run flag", "PrintReport", {missing}, M, err::kArgumentNotOptional},
        // 16-bit and 32-bit overflows.
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
        const Stored before = Snapshot();
        EXPECT_EQ(ErrorOf([&] { p.Invoke(QString::fromUtf8(c.member), c.args, c.kind); }), c.error);
        Stored expected = before;
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
TEST_F(LateBindingAbuseTest, CallsBackFromTheErrorMessageBoxAreServedAndFailCleanly) {
    QTemporaryDir dir;
    const QString log = dir.filePath("errors.log");
    p.ErrorLogFile(log);
    p.Invoke("SourceGrid", {Variant(ObjectRef(std::make_shared<NotAGrid>()))}, Kind::PropertyPutRef);
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
        // The same run again, from inside its own report, three deep.
        if (depth < 3)
            p.Invoke("ShowPreview");
        // An error the handler lets escape does not take the log line with it.
        if (depth == 3)
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

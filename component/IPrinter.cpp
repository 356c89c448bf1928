#include "component/IPrinter.h"

#include "component/JobState.h"
#include "component/ReportError.h"
#include "component/RunObjects.h"
#include "platform/RuntimeError.h"
#include "platform/print/Printer.h"

namespace telmo {

namespace {

const QString& TimesNewRoman() {
    static const QString name = QStringLiteral("Times New Roman");
    return name;
}

// The four title lines share their store order: a later store failing leaves the earlier
// ones done, which hosts can observe (an overflowing alignment after the text is stored).
void StoreTitle(QString& message, int16_t& alignment, QString& fontName, int16_t& fontSize,
                const QString& newMessage, TitleAlignment newAlignment, const QString& newFontName,
                int16_t newFontSize) {
    if (!newMessage.isEmpty())
        message = newMessage;
    if (newAlignment > 0)
        alignment = ToInteger(static_cast<double>(newAlignment));
    if (!newFontName.isEmpty())
        fontName = newFontName;
    if (newFontSize > 0)
        fontSize = newFontSize;
}

// The argument list of one late-bound call, checked against the member's parameter count.
class Arguments {
public:
    Arguments(const std::vector<Variant>& args, size_t required, size_t total) : args_(args) {
        if (args.size() > total)
            throw RuntimeError(err::kWrongNumberOfArguments);
        for (size_t i = 0; i < required; ++i) {
            if (i >= args.size() || args[i].IsMissing())
                throw RuntimeError(err::kArgumentNotOptional);
        }
    }

    // Whether an optional argument was passed; Missing and Empty both mean left out.
    bool Given(size_t i) const { return i < args_.size() && !args_[i].IsMissing() && !args_[i].IsEmpty(); }
    const Variant& operator[](size_t i) const { return args_[i]; }

    QString StringOr(size_t i, const QString& fallback) const {
        return Given(i) ? args_[i].ToString() : fallback;
    }
    int16_t IntegerOr(size_t i, int16_t fallback) const { return Given(i) ? args_[i].ToInteger() : fallback; }
    TitleAlignment AlignmentOr(size_t i, TitleAlignment fallback) const {
        // TitleAlignment is a 32-bit enumeration: any Long is a value of it.
        return Given(i) ? static_cast<TitleAlignment>(args_[i].ToLong()) : fallback;
    }

private:
    const std::vector<Variant>& args_;
};

// A read or a method without parameters takes no arguments at all.
void ExpectNoArguments(const std::vector<Variant>& args) {
    if (!args.empty())
        throw RuntimeError(err::kWrongNumberOfArguments);
}

[[noreturn]] void NotSupported() {
    throw RuntimeError(err::kObjectDoesNotSupport);
}

bool IsRead(IPrinter::CallKind kind) {
    return kind == IPrinter::CallKind::Method || kind == IPrinter::CallKind::PropertyGet;
}

} // namespace

IPrinter::IPrinter() {
    State().ResetOnCreate();
}

bool IPrinter::HasPrinter() {
    return !Printers::InstalledNames().isEmpty();
}

void IPrinter::CurrDate(const QString& Message, const QString& FontName, int16_t FontSize) {
    JobState& state = State();
    if (!Message.isEmpty())
        state.CurrDateMessage = Message;
    if (!FontName.isEmpty())
        state.CurrDateFontName = FontName;
    if (FontSize > 0)
        state.CurrDateFontSize = FontSize;
}

void IPrinter::Title1(const QString& Message, TitleAlignment Alignment, const QString& FontName,
                      int16_t FontSize) {
    JobState& s = State();
    StoreTitle(s.Title1Message, s.Title1Alignment, s.Title1FontName, s.Title1FontSize, Message, Alignment,
               FontName, FontSize);
}

void IPrinter::Title4(const QString& Message, TitleAlignment Alignment, const QString& FontName,
                      int16_t FontSize) {
    JobState& s = State();
    StoreTitle(s.Title4Message, s.Title4Alignment, s.Title4FontName, s.Title4FontSize, Message, Alignment,
               FontName, FontSize);
}

void IPrinter::Title2(const QString& Message, TitleAlignment Alignment, const QString& FontName,
                      int16_t FontSize) {
    JobState& s = State();
    StoreTitle(s.Title2Message, s.Title2Alignment, s.Title2FontName, s.Title2FontSize, Message, Alignment,
               FontName, FontSize);
}

void IPrinter::Title3(const QString& Message, TitleAlignment Alignment, const QString& FontName,
                      int16_t FontSize) {
    JobState& s = State();
    StoreTitle(s.Title3Message, s.Title3Alignment, s.Title3FontName, s.Title3FontSize, Message, Alignment,
               FontName, FontSize);
}

Variant IPrinter::IsDefaultPrinter() {
    try {
        return Variant(HasPrinter());
    } catch (...) {
        ReportCurrentException(module::kIPrinter, ".IsDefaultPrinter");
        return Variant();
    }
}

void IPrinter::SourceGrid(const ObjectRef& grid) {
    JobState& s = State();
    if (s.RunInProgress)
        KeepUntilRunEnds(s.SourceGridObj);
    s.SourceGridObj = grid;
}

Variant IPrinter::FixedRows() {
    return Variant(State().FixedRowCount);
}

Variant IPrinter::StartRow() {
    return Variant(State().StartRowValue);
}

void IPrinter::StartRow(const Variant& value) {
    // Comparing a non-numeric value with 0 is the type mismatch the host sees.
    const double number = value.ToDouble();
    if (number > 0)
        State().StartRowValue = Variant(number - 1).ToSingle();
}

AutomationBool IPrinter::TitleSeprator() {
    return State().TitleSepratorFlag;
}

void IPrinter::TitleSeprator(AutomationBool value) {
    State().TitleSepratorFlag = value;
}

QString IPrinter::ErrorLogFile() {
    return State().ErrorLogFilePath;
}

void IPrinter::ErrorLogFile(const QString& path) {
    State().ErrorLogFilePath = path;
}

Variant IPrinter::Invoke(const QString& member, const std::vector<Variant>& args, CallKind kind) {
    const QString name = member.toLower();
    const bool read = IsRead(kind);
    const bool put = kind == CallKind::PropertyPut;

    // Every argument is converted before the member runs, as the automation layer coerces
    // the whole list first: a conversion failure stores nothing.
    const auto title = [&](void (IPrinter::*store)(const QString&, TitleAlignment, const QString&, int16_t),
                           int16_t defaultSize) {
        if (!read)
            NotSupported();
        const Arguments a(args, 1, 4);
        const QString message = a[0].ToString();
        const TitleAlignment alignment = a.AlignmentOr(1, ALIGNCENTER);
        const QString fontName = a.StringOr(2, TimesNewRoman());
        const int16_t fontSize = a.IntegerOr(3, defaultSize);
        (this->*store)(message, alignment, fontName, fontSize);
        return Variant();
    };

    if (name == QLatin1String("hasprinter")) {
        if (!read)
            NotSupported();
        ExpectNoArguments(args);
        return Variant(HasPrinter());
    }
    if (name == QLatin1String("currdate")) {
        if (!read)
            NotSupported();
        const Arguments a(args, 1, 3);
        const QString message = a[0].ToString();
        const QString fontName = a.StringOr(1, TimesNewRoman());
        const int16_t fontSize = a.IntegerOr(2, 10);
        CurrDate(message, fontName, fontSize);
        return Variant();
    }
    if (name == QLatin1String("title1"))
        return title(&IPrinter::Title1, 16);
    if (name == QLatin1String("title4"))
        return title(&IPrinter::Title4, 16);
    if (name == QLatin1String("title2"))
        return title(&IPrinter::Title2, 12);
    if (name == QLatin1String("title3"))
        return title(&IPrinter::Title3, 12);
    if (name == QLatin1String("isdefaultprinter")) {
        if (!read)
            NotSupported();
        ExpectNoArguments(args);
        return IsDefaultPrinter();
    }
    if (name == QLatin1String("sourcegrid")) {
        if (!put && kind != CallKind::PropertyPutRef)
            NotSupported();
        const Arguments a(args, 1, 1);
        SourceGrid(a[0].ToObject());
        return Variant();
    }
    if (name == QLatin1String("fixedrows")) {
        if (!read)
            NotSupported();
        ExpectNoArguments(args);
        return FixedRows();
    }
    if (name == QLatin1String("startrow")) {
        if (read) {
            ExpectNoArguments(args);
            return StartRow();
        }
        if (!put)
            NotSupported();
        const Arguments a(args, 1, 1);
        StartRow(a[0]);
        return Variant();
    }
    if (name == QLatin1String("showpreview")) {
        if (!read)
            NotSupported();
        ExpectNoArguments(args);
        ShowPreview();
        return Variant();
    }
    if (name == QLatin1String("printreport")) {
        if (!read)
            NotSupported();
        const Arguments a(args, 1, 1);
        PrintReport(a[0].ToBool());
        return Variant();
    }
    if (name == QLatin1String("titleseprator")) {
        if (read) {
            ExpectNoArguments(args);
            return Variant::Boolean(TitleSeprator());
        }
        if (!put)
            NotSupported();
        const Arguments a(args, 1, 1);
        TitleSeprator(a[0].ToBool());
        return Variant();
    }
    if (name == QLatin1String("errorlogfile")) {
        if (read) {
            ExpectNoArguments(args);
            return Variant(ErrorLogFile());
        }
        if (!put)
            NotSupported();
        const Arguments a(args, 1, 1);
        ErrorLogFile(a[0].ToString());
        return Variant();
    }
    NotSupported();
}

} // namespace telmo

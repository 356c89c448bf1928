#pragma once

#include "component/Variant.h"
#include "platform/AutomationObject.h"
#include "platform/Conversions.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace telmo {

// Where a title line is placed on the drawing surface (a 32-bit enumeration for hosts).
enum TitleAlignment : int32_t { ALIGNLEFT = 1, ALIGNCENTER = 2, ALIGNRIGHT = 3 };

// The component's one public class, the host's only way in. It holds nothing itself: every
// member reads and writes the print job state of the calling thread, shared by every IPrinter
// object on that thread. Only IsDefaultPrinter and the two run members catch errors (and
// report them); every other member lets its RuntimeError reach the caller, as a late-bound
// host expects of an automation call.
//
// Arguments that hosts pass by reference are taken by const reference or by value here: the
// component never writes back into them.
class IPrinter {
public:
    // Creating an object puts the title styles, title margins, FixedRowCount and the separator
    // flag back to their initial values; texts, the grid, the start row and the log path stay.
    IPrinter();

    // True when at least one printer is installed.
    bool HasPrinter();

    // The date line: the host passes the finished text. Each value is stored only when it is
    // not empty (not greater than 0 for the size), so an explicit "" or 0 keeps what is there.
    void CurrDate(const QString& Message, const QString& FontName = QStringLiteral("Times New Roman"),
                  int16_t FontSize = 10);

    // The title lines. Message, then Alignment (when greater than 0, narrowed to 16 bits:
    // outside that range it raises 6 after Message has been stored), then FontName, then
    // FontSize, each stored only when not empty / greater than 0. The alignment is not checked
    // against the enumeration.
    void Title1(const QString& Message, TitleAlignment Alignment = ALIGNCENTER,
                const QString& FontName = QStringLiteral("Times New Roman"), int16_t FontSize = 16);
    void Title4(const QString& Message, TitleAlignment Alignment = ALIGNCENTER,
                const QString& FontName = QStringLiteral("Times New Roman"), int16_t FontSize = 16);
    void Title2(const QString& Message, TitleAlignment Alignment = ALIGNCENTER,
                const QString& FontName = QStringLiteral("Times New Roman"), int16_t FontSize = 12);
    // Its default size is 12 although a fresh object starts line 3 at 10.
    void Title3(const QString& Message, TitleAlignment Alignment = ALIGNCENTER,
                const QString& FontName = QStringLiteral("Times New Roman"), int16_t FontSize = 12);

    // The same test as HasPrinter, as a variant holding a boolean. An error is reported
    // (module 9000, ".IsDefaultPrinter") and the result is then Empty.
    Variant IsDefaultPrinter();

    // Write only: the grid to print (a Grid), held by reference; nothing is checked.
    void SourceGrid(const ObjectRef& grid);

    // Read only: an Integer variant, the grid's fixed row count as read at the start of the
    // last run (0 on a fresh object).
    Variant FixedRows();

    // A Single variant: one less than the last accepted value, 0 when none was accepted.
    Variant StartRow();
    // A value greater than 0 is stored minus 1 as a single; 0 or less is ignored. A value
    // that is not numeric raises 13.
    void StartRow(const Variant& value);

    // The run members. ShowPreview's automation result is an always-empty variant.
    void ShowPreview();
    // PrintDialog counts as true only when it holds -1.
    void PrintReport(AutomationBool PrintDialog);
    // A C++ true would arrive as 1 and act as false; pass kAutomationTrue / kAutomationFalse.
    void PrintReport(bool) = delete;

    // The separator flag, stored and returned as received: only -1 draws the separator.
    AutomationBool TitleSeprator();
    void TitleSeprator(AutomationBool value);
    void TitleSeprator(bool) = delete;

    // Path of the error log file.
    QString ErrorLogFile();
    void ErrorLogFile(const QString& path);

    // Late binding, as a host calling through the automation interface by name. Member names
    // are matched ignoring case. A method or a readable property answers both Method and
    // PropertyGet (automation callers often ask for both); PropertyPut sets a writable
    // property, PropertyPutRef also the object property SourceGrid. Arguments are converted
    // to the declared parameter types before the member runs; a left-out optional argument
    // (fewer arguments, Missing or Empty) takes its declared default. The arguments are never
    // written back. Errors: unknown member or a call kind the member does not have 438, a
    // required argument left out 449, too many arguments 450, a conversion 13 or 6, and
    // whatever the member itself raises. A required argument is left out only by a shorter
    // list or Missing: an Empty one is a value (0, "" or false).
    enum class CallKind { Method, PropertyGet, PropertyPut, PropertyPutRef };
    Variant Invoke(const QString& member, const std::vector<Variant>& args = {},
                   CallKind kind = CallKind::Method);
};

} // namespace telmo

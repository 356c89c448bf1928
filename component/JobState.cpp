#include "component/JobState.h"

#include "dialogs/PageSelectionDialog.h"
#include "dialogs/PageSettingsDialog.h"
#include "dialogs/PrintStatusWindow.h"
#include "preview/PreviewWindow.h"

namespace telmo {

JobState::JobState() = default;
JobState::~JobState() = default;

void JobState::ResetOnCreate() {
    const QString timesNewRoman = QStringLiteral("Times New Roman");
    Title1FontName = timesNewRoman;
    Title1Alignment = 2;
    Title1FontSize = 16;
    Title2FontName = timesNewRoman;
    Title2Alignment = 2;
    Title2FontSize = 12;
    Title3FontName = timesNewRoman;
    Title3Alignment = 2;
    Title3FontSize = 10;
    Title4FontName = timesNewRoman;
    Title4Alignment = 2;
    Title4FontSize = 10;
    HeaderLeftMargin = 100;
    HeaderRightMargin = 100;
    FixedRowCount = 0;
    TitleSepratorFlag = kAutomationFalse;
}

JobState& State() {
    thread_local JobState state;
    return state;
}

} // namespace telmo

#include "component/BatchHost.h"

#include "dialogs/PrintStatusWindow.h"
#include "platform/ui/UnseenWindows.h"

namespace telmo {

void RunReportsUnseen(bool unseen) {
    PrintStatusWindow::SetRunsUnseen(unseen);
}

void DriveUnseenWindows(bool driven) {
    UnseenWindows::SetDrivenByProgram(driven);
}

} // namespace telmo

#include "component/BatchHost.h"

#include "dialogs/PrintStatusWindow.h"

namespace telmo {

void RunReportsUnseen(bool unseen) {
    PrintStatusWindow::SetRunsUnseen(unseen);
}

} // namespace telmo

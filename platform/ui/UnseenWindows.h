#pragma once

#include <QString>
#include <cstdint>

namespace telmo {

// A window that waits for its user's answer (the preview, the dialogs it opens, the print
// dialog) runs a modal loop until someone closes it. Without a display nobody can, and the loop
// would wait for ever: such a window is refused instead, with an error its caller reports. A
// program that itself plays the user of windows nobody sees (a test harness driving them
// offscreen) says so, and they open for it as they would on a display.
class UnseenWindows {
public:
    // A widget application on its own thread, on a platform with a screen (not offscreen or
    // minimal): windows can be seen there.
    static bool HaveDisplay();

    static void SetDrivenByProgram(bool driven);
    static bool DrivenByProgram();

    // Throws RuntimeError `number` ("...: the `what` cannot be shown: there is no display")
    // unless the window can be answered, by a user on a display or by a driving program.
    static void CheckCanBeAnswered(int32_t number, const QString& what);
};

} // namespace telmo

#pragma once

namespace telmo {

// For a host whose print runs nobody watches (a batch job, a service, a command run without a
// display). The print progress window normally shows for a second before a run starts, time
// to appear and paint before the pages are made, and repaints after every page; with runs
// unseen it starts the run at once and is never painted. Takes effect for the runs started
// after the call; false goes back to the default. Errors are still reported as usual (see
// MessageBox::SetBatchMode for where they go).
void RunReportsUnseen(bool unseen);

// For a program that itself plays the user of the component's windows where nobody can see
// them (a test harness driving them offscreen). Without a display, ShowPreview and the print
// dialog of PrintReport otherwise report that the window cannot be shown and return, since
// nobody could close it. With true they open as on a display, and wait until the program
// closes them: set it only where every such window is answered.
void DriveUnseenWindows(bool driven);

} // namespace telmo

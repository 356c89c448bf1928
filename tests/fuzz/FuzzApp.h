#pragma once

// What both fuzz targets need before their first input: an offscreen application (the grid
// measures its texts with Qt's fonts), batch message boxes and Qt's warnings kept quiet, so
// that a million inputs do not flood the terminal.
namespace telmo::fuzz {
void StartOffscreenApplication();
// Stops the process with a message when a property every input must keep does not hold.
[[noreturn]] void Fail(const char* what);
} // namespace telmo::fuzz

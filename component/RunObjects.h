#pragma once

#include "platform/AutomationObject.h"

namespace telmo {

// Grids a host replaces while a run is in progress: the run may still be working on one (a
// page being copied from it) when a callback of that very grid assigns the next, so each is
// held until the run ends.
void KeepUntilRunEnds(ObjectRef object);
void ReleaseRunObjects();

} // namespace telmo

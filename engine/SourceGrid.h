#pragma once

namespace telmo {

class Grid;

// The host's grid from the job state. No grid assigned raises error 91; an object that is
// not a grid raises error 438.
Grid& SourceGrid();

} // namespace telmo

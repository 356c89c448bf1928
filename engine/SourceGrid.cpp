#include "engine/SourceGrid.h"

#include "component/JobState.h"
#include "platform/RuntimeError.h"
#include "platform/grid/Grid.h"

namespace telmo {

Grid& SourceGrid() {
    const ObjectRef& object = State().SourceGridObj;
    if (!object)
        throw RuntimeError(err::kObjectNotSet);
    auto* grid = dynamic_cast<Grid*>(object.get());
    if (grid == nullptr)
        throw RuntimeError(err::kObjectDoesNotSupport);
    return *grid;
}

} // namespace telmo

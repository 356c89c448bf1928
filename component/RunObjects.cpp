#include "component/RunObjects.h"

#include <vector>

namespace telmo {
namespace {

std::vector<ObjectRef>& Kept() {
    thread_local std::vector<ObjectRef> kept;
    return kept;
}

} // namespace

void KeepUntilRunEnds(ObjectRef object) {
    if (object)
        Kept().push_back(std::move(object));
}

void ReleaseRunObjects() {
    // Moved out first: a grid's destructor may call back into the component.
    std::vector<ObjectRef> released;
    released.swap(Kept());
}

} // namespace telmo

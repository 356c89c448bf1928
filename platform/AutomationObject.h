#pragma once

#include <memory>

namespace telmo {

// Base of every object a host can hand to the component through an object argument
// (a grid, a picture box). The component holds such objects by counted reference and asks
// them for the interface it needs; an object that lacks it fails with error 438.
class AutomationObject {
public:
    virtual ~AutomationObject() = default;
};

using ObjectRef = std::shared_ptr<AutomationObject>;

} // namespace telmo

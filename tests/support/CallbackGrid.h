#pragma once

#include "platform/grid/GridControl.h"

#include <functional>
#include <utility>

namespace telmo::test {

// A grid whose TextMatrix runs a callback once, when its first cell is read: as a host grid
// that fetches its cells lazily might, in the middle of a report being laid out or printed.
class CallbackGrid : public GridControl {
public:
    mutable std::function<void()> onFirstText;
    QString TextMatrix(int32_t row, int32_t col) const override {
        if (auto callback = std::exchange(onFirstText, nullptr))
            callback();
        return GridControl::TextMatrix(row, col);
    }
};

} // namespace telmo::test

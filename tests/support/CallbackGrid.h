#pragma once

#include "platform/grid/GridControl.h"

#include <functional>
#include <utility>

namespace telmo::test {

// A grid that runs a callback once, at its first cell read, as a lazy host grid might mid-report.
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

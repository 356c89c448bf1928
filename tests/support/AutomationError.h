#pragma once

#include "platform/RuntimeError.h"

#include <functional>
#include <gtest/gtest.h>

namespace telmo::test {

// The automation error number raised (with a description, kept in `description` if given), or 0; any
// other exception fails the test.
inline int32_t ErrorOf(const std::function<void()>& call, QString* description = nullptr) {
    try {
        call();
    } catch (const RuntimeError& e) {
        EXPECT_FALSE(e.Description().isEmpty()) << e.Number();
        if (description)
            *description = e.Description();
        return e.Number();
    }
    return 0;
}

} // namespace telmo::test

#pragma once

#include "platform/RuntimeError.h"

#include <functional>
#include <gtest/gtest.h>

namespace telmo::test {

// The automation error number raised (with a description), or 0; any other exception fails the test.
inline int32_t ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const RuntimeError& e) {
        EXPECT_FALSE(e.Description().isEmpty()) << e.Number();
        return e.Number();
    }
    return 0;
}

} // namespace telmo::test

#pragma once

#include <functional>

class QWidget;

namespace telmo::test {

// Runs act on the next modal window that opens, once it is up: the way a test plays the user
// of a dialog that the code under test shows with its own modal loop. A modal window that
// never opens fails the test after a few seconds instead of leaving it waiting.
void WhenModalOpens(std::function<void(QWidget*)> act);

} // namespace telmo::test

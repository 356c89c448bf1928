#pragma once

#include <functional>

class QWidget;

namespace telmo::test {

// Runs act on the next modal window once it is up, to play the user of a dialog shown with its own
// modal loop; one that never opens fails the test after a few seconds instead of waiting.
void WhenModalOpens(std::function<void(QWidget*)> act);

} // namespace telmo::test

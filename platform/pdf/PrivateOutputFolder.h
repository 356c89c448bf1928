#pragma once

#include <QString>

namespace telmo {

// Where a PDF goes that nobody named (a command run with no printer set up): the file name in
// the temporary folder ($TMPDIR, else /tmp) when only this user can write there, else in a
// folder of this user's own beneath it ("telmo-<uid>", made with mode 0700). A shared folder
// such as /tmp is never written directly: another user could have put a link or a file of
// theirs under the predictable name. Raises error 75 with the reason, telling what to give
// instead, when no such folder can be had (it exists but is another user's, a link, or open
// to others).
QString PrivateDefaultFile(const QString& fileName);

} // namespace telmo

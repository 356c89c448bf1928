#pragma once

#include <QString>
#include <functional>

namespace telmo {

// The message box of the window toolkit. In an interactive host it is a real modal
// QMessageBox; in a batch host (no display, TELMO_BATCH set, or SetBatchMode(true)) the text
// goes to standard error and the call returns at once. Tests can catch every message.
class MessageBox {
public:
    static constexpr int kInformation = 64;

    static void Show(const QString& text, const QString& title, int style = kInformation);

    static void SetBatchMode(bool batch);
    static bool IsBatchMode();

    using Sink = std::function<void(const QString& text, const QString& title, int style)>;
    // While a sink is installed, messages go to it instead (nullptr removes it).
    static void SetSink(Sink sink);
};

} // namespace telmo

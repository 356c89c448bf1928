#pragma once

#include <QDialog>
#include <functional>

namespace telmo {

// A window of the component. It is loaded once by its holder (Form_Load runs then), lives
// until it unloads itself, and is never reused after that: the next use loads a fresh one.
// Code that may run after an error handler unloaded the window checks IsUnloaded() and stops.
class Form : public QDialog {
    Q_OBJECT
public:
    explicit Form(QWidget* parent = nullptr);

    virtual void Form_Load() {}
    bool IsUnloaded() const { return unloaded_; }

    // Closes the window for good: ends its modal loop, hides it, lets its holder forget it
    // and deletes it once control is back in the event loop.
    void Unload();

    // Width and height of the client area in twips.
    float ScaleWidth() const;
    float ScaleHeight() const;

    // Shows the window modally and returns when it has been hidden or unloaded. Closing it
    // any other way (the close box) unloads it, as closing a window does. A window that waits
    // for its user is not shown where nobody could answer it (see UnseenWindows): it unloads
    // and a RuntimeError says why.
    void ShowModal();
    // Hides the window but keeps it loaded, with its controls as the user left them.
    void Hide();

    // Set by the holder: called once when the form unloads itself.
    void SetUnloadHook(std::function<void(Form*)> hook) { unloadHook_ = std::move(hook); }

protected:
    // False for a window that closes itself when its work is done, whoever watches.
    virtual bool WaitsForUser() const { return true; }

private:
    bool unloaded_ = false;
    bool hiddenByCode_ = false;
    std::function<void(Form*)> unloadHook_;
};

} // namespace telmo

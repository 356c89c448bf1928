#pragma once

#include "platform/Form.h"
#include "platform/GridControl.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace telmo {

class PictureBox;

// The small modal window that drives a print run: its activation starts a one-shot timer
// whose first tick lays the report out and sends every page to the printer, with a status
// line and a progress bar, and then closes the window.
class PrintStatusWindow : public Form {
    Q_OBJECT
public:
    PrintStatusWindow();
    ~PrintStatusWindow() override;

    void Form_Load() override;

    QLabel* lblStatus;
    QProgressBar* ProgBar;
    QPushButton* cmdCancel;
    QTimer* Timer1;
    GridControl SData;
    PictureBox* pbSource;

    // How long the window shows before its run starts: 1000 ms, time for it to appear and
    // paint its text on screen before the blocking work. A host with no screen to show it on
    // (a command run offscreen) has nothing to wait for and may set 0. Applies to windows
    // created afterwards.
    static void SetStartDelayMs(int milliseconds);

    bool StartPending() const { return startPending_; }
    bool IsRunning() const { return running_; }
    // Before the run this closes the window and nothing is printed; during the run it stops
    // the run at the end of the page being printed (the window stays until the run is done).
    void RequestCancel();
    bool CancelRequested() const { return cancelRequested_; }

    // The run itself; the timer calls it once after activation.
    void Timer1_Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Activate();

    bool startPending_ = false;
    bool running_ = false;
    bool cancelRequested_ = false;
};

} // namespace telmo

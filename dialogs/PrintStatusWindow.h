#pragma once

#include "platform/grid/GridControl.h"
#include "platform/ui/Form.h"

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

    // A run's window shows for a second before the run starts, time for it to appear and paint
    // its text before the blocking work, and repaints after every page. A host whose runs
    // nobody can see (a command run offscreen) may declare them unseen: the window then starts
    // its run at once and is never painted. Applies to windows created afterwards.
    static void SetRunsUnseen(bool unseen);

    bool StartPending() const { return startPending_; }
    bool IsRunning() const { return running_; }
    // Before the run this closes the window and nothing is printed; during the run it stops
    // the run at the end of the page being printed (the window stays until the run is done).
    void RequestCancel();
    bool CancelRequested() const { return cancelRequested_; }

    // The run itself; the timer calls it once after activation.
    void Timer1_Timer();

protected:
    bool WaitsForUser() const override { return false; } // it runs its print and closes
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Activate();

    bool startPending_ = false;
    bool running_ = false;
    bool cancelRequested_ = false;
};

} // namespace telmo

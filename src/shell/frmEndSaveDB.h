#pragma once

#include "shell/AppState.h"

#include <QWidget>
#include <functional>

class QLabel;
class QProgressBar;
class QTimer;

// The backup window of the exit: copies ProSys.mdb into the backup folder,
// fills its progress bar in about a second, then ends the program.
class frmEndSaveDB : public QWidget {
    Q_OBJECT
public:
    frmEndSaveDB(AppState &state, std::function<void()> endProgram, QWidget *parent = nullptr);

    // The load step: ends at once when automatic backup is off; otherwise
    // makes the copy and shows the window, or reports the failure and ends.
    void start();
    // One tick of Timer1: five more percent; full means the end.
    void Timer1_Timer();

    QTimer *timer() const { return Timer1; }
    bool ended() const { return m_ended; }

private:
    void end();
    // The dated restore points and the second backup folder, after the
    // exit backup.
    void keepRestorePoints();

    AppState &m_state;
    std::function<void()> m_endProgram;
    QLabel *labTitle;
    QProgressBar *ProgressBar1;
    QTimer *Timer1;
    bool m_ended = false;
};

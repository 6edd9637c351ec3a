#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

struct AppState;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QWidget;

// Locks the main window after a time without input (the library setting
// idle_lock_minutes; 0 never). The lock is a window of its own over the main
// window, modal for the whole program so that it is above any dialog that
// was open; it asks for the logged-in user's password and for nobody else's.
// Nothing under it changes: screens, typed text and an unsaved draw stay as
// they were. A wrong password counts toward the lock of the user's name.
class IdleLock : public QObject {
    Q_OBJECT
public:
    IdleLock(AppState &state, QWidget *window);
    ~IdleLock() override;

    // Milliseconds on a clock that only goes forward. Tests set their own.
    void setClock(std::function<qint64()> msecs);
    // Starts watching the program's input and the time.
    void start();
    // Locks when the time without input has reached the setting; runs on
    // a timer and from tests.
    void check();
    // The minutes in force (read from the library at each check).
    int minutes() const { return m_minutes; }
    bool isLocked() const { return m_locked; }
    QWidget *lockScreen() const { return m_screen; }
    // The lock's 解锁 work with the typed password; true when unlocked.
    bool unlock();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void lock();
    void readMinutes();
    void buildScreen();
    void coverWindow();

    AppState &m_state;
    QPointer<QWidget> m_window;
    std::function<qint64()> m_now;
    QTimer *m_tick;
    qint64 m_lastInput = 0;
    int m_minutes;
    bool m_locked = false;
    QPointer<QWidget> m_screen;
    QLabel *m_user = nullptr;
    QLineEdit *m_password = nullptr;
};

#include "shell/IdleLock.h"

#include "data/LibrarySettings.h"
#include "data/Users.h"
#include "shell/AppState.h"
#include "ui/BusyCursor.h"
#include "ui/Guarded.h"
#include "ui/ScreenStyle.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// How often the time without input is looked at: a lock comes at most this
// much later than the setting says.
constexpr int kTickMsecs = 10 * 1000;

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
        return true;
    default:
        return false;
    }
}

}   // namespace

IdleLock::IdleLock(AppState &state, QWidget *window)
    : QObject(window), m_state(state), m_window(window), m_tick(new QTimer(this)),
      m_minutes(LibrarySetting::kDefaultIdleLockMinutes)
{
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    m_now = [clock] { return clock->elapsed(); };
    m_tick->setInterval(kTickMsecs);
    connect(m_tick, &QTimer::timeout, this, Guarded(this, &IdleLock::check));
}

IdleLock::~IdleLock()
{
    if (qApp)
        qApp->removeEventFilter(this);
    delete m_screen.data();
}

void IdleLock::setClock(std::function<qint64()> msecs)
{
    m_now = std::move(msecs);
    m_lastInput = m_now();
}

void IdleLock::start()
{
    readMinutes();
    m_lastInput = m_now();
    qApp->installEventFilter(this);
    m_tick->start();
}

void IdleLock::readMinutes()
{
    // Read anew each time, so that a change made in the settings (here or at
    // another computer) holds without a restart; a library that cannot be
    // read just now keeps the value known.
    const Result<QString> value = ReadLibrarySetting(m_state.store, LibrarySetting::IdleLockMinutes,
                                                     QString::number(LibrarySetting::kDefaultIdleLockMinutes));
    if (value)
        m_minutes = SettingMinutes(*value, LibrarySetting::kDefaultIdleLockMinutes);
}

void IdleLock::check()
{
    if (m_locked || !m_window)
        return;
    readMinutes();
    if (m_minutes <= 0)
        return;
    if (m_now() - m_lastInput >= qint64(m_minutes) * 60 * 1000)
        lock();
}

bool IdleLock::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_locked && isInput(event->type()))
        m_lastInput = m_now();
    // The lock follows the main window if it is moved or resized under it.
    if (m_locked && watched == m_window &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize || event->type() == QEvent::Show))
        coverWindow();
    return QObject::eventFilter(watched, event);
}

void IdleLock::buildScreen()
{
    m_screen = new QWidget(m_window, Qt::Window | Qt::FramelessWindowHint);
    m_screen->setObjectName(QStringLiteral("frmLock"));
    m_screen->setWindowTitle(QStringLiteral("Kestrune 已锁定"));
    m_screen->setWindowModality(Qt::ApplicationModal);
    m_screen->setAutoFillBackground(true);
    QPalette pal = m_screen->palette();
    pal.setColor(QPalette::Window, QColor(171, 171, 171));
    m_screen->setPalette(pal);

    auto *panel = new QWidget(m_screen);
    panel->setObjectName(QStringLiteral("lockPanel"));
    panel->setAutoFillBackground(true);
    QPalette panelPal = panel->palette();
    panelPal.setColor(QPalette::Window, QColor(225, 236, 250));
    panel->setPalette(panelPal);
    panel->setFixedWidth(420);

    auto plain = [panel](const char *name, const QString &text) {
        auto *l = new QLabel(text, panel);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    QLabel *title = plain("labLockTitle", QStringLiteral("Kestrune 已锁定"));
    QFont titleFont = title->font();
    titleFont.setPointSize(titleFont.pointSize() + 4);
    titleFont.setBold(true);
    title->setFont(titleFont);
    QLabel *hint = plain("labLockHint", QStringLiteral("较长时间没有操作，程序已锁定。请输入当前用户的密码解锁，"
                                                       "未保存的内容都还在。"));
    hint->setWordWrap(true);
    m_user = plain("labLockUser", QString());
    m_password = new QLineEdit(panel);
    m_password->setObjectName(QStringLiteral("txtLockPwd"));
    m_password->setAccessibleName(QStringLiteral("密码"));
    MakePasswordBox(m_password);
    auto *unlockButton = new QPushButton(QStringLiteral("解锁"), panel);
    unlockButton->setObjectName(QStringLiteral("cmdUnlock"));
    unlockButton->setAutoDefault(false);

    auto *grid = new QGridLayout(panel);
    grid->setContentsMargins(24, 20, 24, 20);
    grid->setVerticalSpacing(10);
    grid->addWidget(title, 0, 0, 1, 2);
    grid->addWidget(hint, 1, 0, 1, 2);
    grid->addWidget(plain("labLockUserCaption", QStringLiteral("用户名：")), 2, 0, Qt::AlignRight);
    grid->addWidget(m_user, 2, 1);
    grid->addWidget(plain("labLockPwdCaption", QStringLiteral("密  码：")), 3, 0, Qt::AlignRight);
    grid->addWidget(m_password, 3, 1);
    grid->addWidget(unlockButton, 4, 1, Qt::AlignRight);

    auto *outer = new QVBoxLayout(m_screen);
    outer->addStretch();
    outer->addWidget(panel, 0, Qt::AlignHCenter);
    outer->addStretch();

    connect(unlockButton, &QPushButton::clicked, this, Guarded([this] { unlock(); }));
    connect(m_password, &QLineEdit::returnPressed, this, Guarded([this] { unlock(); }));
}

void IdleLock::coverWindow()
{
    if (!m_screen || !m_window)
        return;
    const QRect frame = m_window->frameGeometry();
    m_screen->setGeometry(frame.isValid() ? frame : m_window->geometry());
}

void IdleLock::lock()
{
    if (!m_screen)
        buildScreen();
    m_locked = true;
    // The name is shown, not asked: only the user logged in can unlock.
    m_user->setText(CurrentUserName(m_state.session, m_state.store.UserTable));
    m_password->clear();
    coverWindow();
    m_screen->show();
    m_screen->raise();
    m_screen->activateWindow();
    m_password->setFocus();
}

bool IdleLock::unlock()
{
    if (!m_locked)
        return true;
    const QString password = m_password->text().trimmed();
    MessageService &msg = m_state.messages();
    if (password.isEmpty()) {
        msg.information(QStringLiteral("请输入密码！"));
        m_password->setFocus();
        return false;
    }
    Result<LoginCheck> check = Result<LoginCheck>::fail(QString());
    {
        BusyCursor busy;
        check =
            CheckUserPassword(m_state.store, m_state.session.CurrentUserId, password, m_state.services.clock->now());
    }
    if (!check) {
        msg.critical(check.message(), kAppTitle, check.detail());
        return false;
    }
    switch (check->verdict) {
    case LoginCheck::Verdict::Accepted:
        m_locked = false;
        m_password->clear();
        m_screen->hide();
        m_lastInput = m_now();
        return true;
    case LoginCheck::Verdict::Locked:
        msg.critical(LockedLoginText(m_user->text(), check->lockedUntil));
        break;
    case LoginCheck::Verdict::Refused:
        msg.critical(QStringLiteral("密码不正确，请重新输入！"));
        break;
    }
    m_password->selectAll();
    m_password->setFocus();
    return false;
}

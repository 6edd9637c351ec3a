#include "shell/frmLogin.h"

#include "data/AuditLog.h"

#include "ui/Artwork.h"
#include "ui/BusyCursor.h"
#include "ui/ClickableLabel.h"
#include "ui/ScreenStyle.h"
#include "ui/Guarded.h"
#include "ui/Twips.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmLogin::frmLogin(AppState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("登录"));
    setWindowIcon(Artwork::AppIcon(32));
    setFixedSize(Px(6315), Px(4005));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    const QFont labelFont(QStringLiteral("新宋体"), 9);

    auto *picture1 = new QLabel(this);
    picture1->setObjectName(QStringLiteral("Picture1"));
    picture1->setGeometry(TwRect(0, 0, 6315, 1155));
    picture1->setPixmap(Artwork::Banner(picture1->width(), picture1->height()));

    auto *picture2 = new QLabel(this);
    picture2->setObjectName(QStringLiteral("Picture2"));
    picture2->setGeometry(TwRect(300, 1560, 540, 570));
    picture2->setPixmap(Artwork::AppIcon(qMin(picture2->width(), picture2->height())));

    auto label = [&](const char *name, const QString &text, QRect r, Qt::Alignment align) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setFont(labelFont);
        l->setGeometry(r);
        l->setAlignment(align | Qt::AlignVCenter);
        return l;
    };
    label("Label1", QStringLiteral("欢迎使用，请输入用户名和密码进行登录"), TwRect(1350, 1800, 3240, 375),
          Qt::AlignLeft);
    label("Label2", QStringLiteral("用户名："), TwRect(1020, 2280, 915, 315), Qt::AlignRight);
    label("Label3", QStringLiteral("密  码："), TwRect(1020, 2700, 915, 255), Qt::AlignRight);

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(TwRect(1980, 2220, 2655, 330));
    Text1->installEventFilter(this);
    Text2 = new QLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setGeometry(TwRect(1980, 2640, 2655, 330));
    MakePasswordBox(Text2);
    Text2->installEventFilter(this);

    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::HLine);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(TwRect(60, 3300, 6195, 75));

    auto *cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(TwRect(4080, 3540, 1035, 315));
    cmdOK->setAutoDefault(false);
    auto *cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(TwRect(5100, 3540, 1035, 315));
    cmdCancel->setAutoDefault(false);
    // Where the library lives (the data file or a server) is chosen rarely:
    // a small link in the free space left of the buttons, below the rule,
    // so that none of the window's controls moves. Created last, it comes
    // last in the Tab order.
    auto *labConnection = new ClickableLabel(QStringLiteral("数据库连接…"), this);
    labConnection->setObjectName(QStringLiteral("labConnection"));
    labConnection->setFont(labelFont);
    labConnection->setGeometry(TwRect(300, 3540, 1680, 315));
    labConnection->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    labConnection->setCursor(Qt::PointingHandCursor);
    labConnection->setAccessibleName(QStringLiteral("数据库连接"));
    labConnection->setToolTip(QStringLiteral("选择专家库所在：本机数据文件或数据库服务器"));
    SetTextColor(labConnection, kOperationLink);
    QFont linkFont = labelFont;
    linkFont.setUnderline(true);
    labConnection->setFont(linkFont);
    connect(labConnection, &ClickableLabel::clicked, this, Guarded(this, &frmLogin::connectionRequested));

    connect(cmdOK, &QPushButton::clicked, this, Guarded(this, &frmLogin::cmdOK_Click));
    // Back from another program, a user added there meanwhile can log in;
    // the focus stays where it was.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, Guarded([this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive && isVisible() && !m_done)
                    LoadUsers(m_state.store);
            }));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded([this] {
                m_done = true;
                Q_EMIT cancelled();
            }));
}

void frmLogin::activate()
{
    LoadUsers(m_state.store);
    Text1->setFocus();
}

void frmLogin::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The login is the program's only window, so it becomes active once, when
    // it is shown. Coming back from one of its own message boxes, from another
    // program or from a minimised state is no new activation: the focus must
    // stay where the check put it (the password box after "请输入密码！").
    if (!event->spontaneous() && !m_done)
        RunGuarded([this] { activate(); });
}

void frmLogin::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (!m_done) {
        m_done = true;
        Q_EMIT cancelled();
    }
}

bool frmLogin::eventFilter(QObject *watched, QEvent *event)
{
    // Enter in the password box submits; Enter in the user box does nothing.
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == Text2)
                RunGuarded([this] { cmdOK_Click(); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmLogin::cmdOK_Click()
{
    const QString userName = Text1->text().trimmed();
    const QString password = Text2->text().trimmed();
    const QString title = QStringLiteral("登录");
    if (userName.isEmpty()) {
        m_state.messages().information(QStringLiteral("请输入用户名！"), title);
        Text1->setFocus();
        return;
    }
    if (password.isEmpty()) {
        m_state.messages().information(QStringLiteral("请输入密码！"), title);
        Text2->setFocus();
        return;
    }
    // Checked against the file as it is now, not as it was when the window
    // opened; failures are counted there, so a restart does not reset them.
    Result<LoginCheck> check = Result<LoginCheck>::fail(QString());
    {
        BusyCursor busy;
        check = CheckLogin(m_state.store, userName, password, m_state.services.clock->now());
    }
    if (!check) {
        m_state.messages().critical(check.message(), title, check.detail());
        return;
    }
    // Every attempt goes into the operation log, accepted or not.
    const bool accepted = check->verdict == LoginCheck::Verdict::Accepted;
    if (const Outcome logged = RecordLogin(m_state.store, userName, accepted); !logged)
        m_state.messages().critical(logged.message(), title);
    switch (check->verdict) {
    case LoginCheck::Verdict::Accepted:
        m_state.session.CurrentUserId = check->userId;
        m_state.session.CurrentUserRole = check->role;
        m_state.session.PasswordChangeDue = check->initialPassword;
        // The table now holds the hash that replaced a password kept as typed.
        LoadUsers(m_state.store);
        m_done = true;
        Q_EMIT loggedIn();
        close();
        return;
    case LoginCheck::Verdict::Locked:
        m_state.messages().critical(LockedLoginText(userName, check->lockedUntil), title);
        break;
    case LoginCheck::Verdict::Refused:
        m_state.messages().critical(QStringLiteral("用户名和密码不正确，请重新输入！"), title);
        break;
    }
    Text1->setFocus();
    Text1->setSelection(0, int(userName.size()));
}

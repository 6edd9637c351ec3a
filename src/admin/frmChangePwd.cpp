#include "admin/frmChangePwd.h"

#include "data/Schema.h"
#include "data/Users.h"
#include "ui/Guarded.h"
#include "ui/Twips.h"
#include "ui/ScreenStyle.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

frmChangePwd::frmChangePwd(AppState &state, QWidget *parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmChangePwd"));
    setWindowTitle(QStringLiteral("修改密码"));
    setModal(true);
    setFixedSize(Px(2970), Px(2715));

    auto label = [this](const char *name, const QString &text, const QRect &r) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setGeometry(r);
        return l;
    };
    auto box = [this](const char *name, const QRect &r, bool secret) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(r);
        if (secret)
            MakePasswordBox(e);
        return e;
    };
    labUser = label("labUser", QStringLiteral("用 户 名："), TwRect(240, 540, 945, 195));
    txtUser = box("txtUser", TwRect(1215, 480, 1455, 330), false);
    labPwd = label("labPwd", QStringLiteral("新 密 码："), TwRect(120, 1020, 1065, 195));
    txtPwd = box("txtPwd", TwRect(1215, 960, 1455, 330), true);
    labPwdCheck = label("labPwdCheck", QStringLiteral("确认密码："), TwRect(240, 1500, 945, 195));
    txtPwdCheck = box("txtPwdCheck", TwRect(1215, 1440, 1455, 330), true);

    cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(TwRect(300, 2100, 915, 375));
    cmdOK->setAutoDefault(false);
    cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(TwRect(1680, 2100, 915, 375));
    cmdCancel->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, Guarded(this, &frmChangePwd::cmdOK_Click));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded(this, &QDialog::reject));
    txtPwdCheck->installEventFilter(this);
}

void frmChangePwd::setReason(const QString &reason)
{
    if (!labReason) {
        // The free band above the first box: two short lines fit.
        labReason = new QLabel(this);
        labReason->setObjectName(QStringLiteral("labReason"));
        labReason->setTextFormat(Qt::PlainText);
        labReason->setWordWrap(true);
        labReason->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        labReason->setGeometry(TwRect(120, 30, 2730, 420));
        labReason->setStyleSheet(QStringLiteral("color: rgb(192, 0, 0);"));
    }
    labReason->setText(reason);
    labReason->setVisible(!reason.isEmpty());
}

void frmChangePwd::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The load step: the dialog opens on the logged-in user's name. Coming
    // back from a message box or a minimised state keeps what was typed.
    if (m_loaded || event->spontaneous())
        return;
    m_loaded = true;
    const TextTable &users = m_state.store.UserTable;
    for (qsizetype r = 0; r < users.count(); ++r) {
        if (users.cell(r, 0) == m_state.session.CurrentUserId) {
            txtUser->setText(users.cell(r, 1).toString());
            break;
        }
    }
}

bool frmChangePwd::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtPwdCheck && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            RunGuarded([this] { cmdOK_Click(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmChangePwd::cmdOK_Click()
{
    MessageService &msg = m_state.messages();
    const QString user = txtUser->text().trimmed();
    const QString pwd = txtPwd->text().trimmed();
    const QString check = txtPwdCheck->text().trimmed();
    if (user.isEmpty()) {
        msg.information(QStringLiteral("请输入用户名！"));
        txtUser->setFocus();
        return;
    }
    if (pwd.isEmpty()) {
        msg.information(QStringLiteral("请输入新密码！"));
        txtPwd->setFocus();
        return;
    }
    if (check.isEmpty()) {
        msg.information(QStringLiteral("请输入确认密码！"));
        txtPwdCheck->setFocus();
        return;
    }
    if (check != pwd) {
        msg.information(QStringLiteral("新密码与确认密码不一致！"));
        txtPwdCheck->setFocus();
        txtPwdCheck->setSelection(txtPwdCheck->text().indexOf(check), int(check.size()));
        return;
    }
    switch (CheckNewCredentials(m_state.store.UserTable, m_state.session.CurrentUserId, user, pwd)) {
    case CredentialProblem::NameTooLong:
        msg.information(QStringLiteral("用户名不能超过100个字符（一个汉字算2个字符）。"));
        txtUser->setFocus();
        txtUser->selectAll();
        return;
    case CredentialProblem::PasswordTooLong:
        msg.information(QStringLiteral("新密码不能超过20个字符（一个汉字算2个字符）。"));
        txtPwd->setFocus();
        txtPwd->selectAll();
        return;
    case CredentialProblem::NameTaken:
        msg.critical(QStringLiteral("此用户名已被使用，请输入新的用户名。"));
        txtUser->setFocus();
        txtUser->setSelection(txtUser->text().indexOf(user), int(user.size()));
        return;
    case CredentialProblem::None:
        break;
    }
    if (!ChangeCredentials(m_state.store, m_state.session.CurrentUserId, user, pwd)) {
        msg.critical(QStringLiteral("没有匹配的记录！"));
        return;
    }
    // Asked again at the next login only while the password is the initial one.
    m_state.session.PasswordChangeDue = pwd == QLatin1String(kInitialAdminPassword);
    msg.information(QStringLiteral("修改成功。"));
    LoadUsers(m_state.store);
    accept();
}

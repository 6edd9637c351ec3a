#include "admin/frmDbPassword.h"

#include "admin/DataMaintenance.h"
#include "shell/ConnectionSettings.h"
#include "shell/frmLibraryKey.h"
#include "ui/Controls.h"
#include "ui/BusyCursor.h"
#include "ui/Guarded.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit *passwordBox(QWidget *parent, const char *name)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEchoMode(QLineEdit::Password);
    return box;
}

QLabel *plainLabel(const QString &text, QWidget *parent, const char *name)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

}   // namespace

frmDbPassword::frmDbPassword(AppState &state, QWidget *parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmDbPassword"));
    setWindowTitle(QStringLiteral("数据库密码"));
    auto *layout = new QVBoxLayout(this);
    lblWarn = plainLabel(QStringLiteral("设置数据库密码后，这个专家库的数据库文件和以后的备份只能用这个密码打开，"
                                        "别人复制走文件也读不出其中的内容。\n"
                                        "请务必牢记这个密码：密码丢失后，任何人都无法恢复其中的数据。"),
                         this, "lblWarn");
    lblWarn->setWordWrap(true);
    layout->addWidget(lblWarn);
    auto *grid = new QGridLayout;
    labOldKey = plainLabel(QStringLiteral("当前数据库密码："), this, "labOldKey");
    txtOldKey = passwordBox(this, "txtOldKey");
    labNewKey = plainLabel(QStringLiteral("新数据库密码："), this, "labNewKey");
    txtNewKey = passwordBox(this, "txtNewKey");
    labNewKeyCheck = plainLabel(QStringLiteral("确认新密码："), this, "labNewKeyCheck");
    txtNewKeyCheck = passwordBox(this, "txtNewKeyCheck");
    grid->addWidget(labOldKey, 0, 0);
    grid->addWidget(txtOldKey, 0, 1);
    grid->addWidget(labNewKey, 1, 0);
    grid->addWidget(txtNewKey, 1, 1);
    grid->addWidget(labNewKeyCheck, 2, 0);
    grid->addWidget(txtNewKeyCheck, 2, 1);
    layout->addLayout(grid);
    // Only a library that has a password of its own asks for it first.
    const bool hasOwn = !m_state.store.source.key.isEmpty();
    labOldKey->setVisible(hasOwn);
    txtOldKey->setVisible(hasOwn);
    const OkCancelButtons okCancel = AddOkCancelRow(this, layout);
    cmdOK = okCancel.ok;
    cmdCancel = okCancel.cancel;
    connect(cmdOK, &QPushButton::clicked, this, Guarded([this] { cmdOK_Click(); }));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded([this] { reject(); }));
    resize(460, sizeHint().height());
}

void frmDbPassword::cmdOK_Click()
{
    const QString own = m_state.store.source.key;
    if (!own.isEmpty() && txtOldKey->text() != own) {
        m_state.messages().critical(QStringLiteral("当前数据库密码不正确。"));
        txtOldKey->setFocus();
        return;
    }
    const QString key = txtNewKey->text();
    if (const QString problem = LibraryPasswordProblem(key); !problem.isEmpty()) {
        m_state.messages().critical(problem);
        txtNewKey->setFocus();
        return;
    }
    if (key != txtNewKeyCheck->text()) {
        m_state.messages().critical(QStringLiteral("两次输入的新密码不一致。"));
        txtNewKeyCheck->setFocus();
        return;
    }
    if (!m_state.messages().question(QStringLiteral("设置后，打开这个专家库和它的备份都需要输入这个密码。\n"
                                                    "密码丢失后无法找回，其中的数据也无法恢复。\n"
                                                    "您确定设置这个数据库密码吗？")))
        return;
    Outcome outcome;
    {
        BusyCursor busy;
        outcome = ChangeLibraryPassword({m_state.store, m_state.draw, m_state.today()}, key, probe);
    }
    if (!outcome) {
        m_state.messages().critical(outcome.message(), kAppTitle, outcome.detail());
        return;
    }
    // A remembered password that no longer opens the file would be asked
    // for again at the next start: the kept one follows the change.
    const QString kept = UpdateKeptLibraryKey(m_state.secrets.get(), m_state.store.dataFilePath(), key);
    m_state.messages().information(kept.isEmpty() ? outcome.message() : outcome.message() + QLatin1Char('\n') + kept);
    accept();
}

QString UpdateKeptLibraryKey(SecretStore *secrets, const QString &dataFile, const QString &newKey)
{
    if (!secrets)
        return QString();
    const QString name = LibrarySecretKey(dataFile);
    const SecretStore::Result kept = secrets->read(name);
    if (kept.status == SecretStore::Status::NotFound)
        return QString();
    if (kept.status == SecretStore::Status::Unavailable)
        return QStringLiteral("无法访问系统的密码保管服务（%1），如果以前选择过“记住”密码，"
                              "下次启动时请输入新的数据库密码。")
            .arg(kept.problem);
    const bool defaultKey = newKey.isEmpty() || newKey == QLatin1String(kDatabasePassword);
    const SecretStore::Result changed = defaultKey ? secrets->remove(name) : secrets->write(name, newKey);
    if (changed.status == SecretStore::Status::Unavailable)
        return (defaultKey ? QStringLiteral("系统的密码保管服务中记住的旧密码没能删除（%1），请在系统的密码管理中"
                                            "删除它。")
                           : QStringLiteral("系统的密码保管服务中记住的仍是旧密码，没能换成新密码（%1），"
                                            "下次启动时请输入新的数据库密码。"))
            .arg(changed.problem);
    return QString();
}

void ShowDbPassword(AppState &state, QWidget *owner)
{
    if (!state.store.library().hasFileKey()) {
        state.messages().information(
            QStringLiteral("当前使用的是数据库服务器上的专家库，没有数据库文件密码：谁能读写它由数据库服务器的"
                           "用户和权限决定，请在服务器上设置。\n本软件的用户和权限仍由“用户权限设置”管理。"));
        return;
    }
    frmDbPassword dialog(state, owner);
    state.services.dialogs->run(dialog);
}

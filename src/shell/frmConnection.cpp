#include "shell/frmConnection.h"

#include "ui/BusyCursor.h"
#include "ui/FieldNames.h"
#include "ui/Guarded.h"
#include "ui/ScreenStyle.h"
#include "ui/Services.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// The TLS modes in the words the dialog shows, in OfferedSslModes order.
const char *const kSslModeCaptions[] = {"加密连接（require）", "加密并验证服务器证书（verify-full）",
                                        "能加密时加密（prefer）"};

// The modes libpq knows that the dialog does not offer, shown only when the
// connection in use has one.
QString SslModeCaption(const QString &mode)
{
    if (mode == QLatin1String("disable"))
        return QStringLiteral("不加密（disable）");
    if (mode == QLatin1String("allow"))
        return QStringLiteral("服务器要求时才加密（allow）");
    if (mode == QLatin1String("verify-ca"))
        return QStringLiteral("加密并验证证书颁发机构（verify-ca）");
    return mode;
}

}   // namespace

frmConnection::frmConnection(const SavedConnection &current, const QString &password, const QString &dataFilePath,
                             ConnectionDialogServices services, QWidget *parent)
    : QDialog(parent), m_services(std::move(services))
{
    setObjectName(QStringLiteral("frmConnection"));
    setWindowTitle(QStringLiteral("数据库连接"));
    setModal(true);
    setFont(ScreenFont(9));

    optFile = new QRadioButton(QStringLiteral("本机数据文件"), this);
    optFile->setObjectName(QStringLiteral("optFile"));
    auto *labFile = new QLabel(QDir::toNativeSeparators(dataFilePath), this);
    labFile->setTextFormat(Qt::PlainText);
    labFile->setObjectName(QStringLiteral("labFile"));
    labFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labFile->setWordWrap(true);
    labFile->setIndent(20);
    SetTextColor(labFile, kLinkInactive);
    optServer = new QRadioButton(QStringLiteral("数据库服务器（PostgreSQL）"), this);
    optServer->setObjectName(QStringLiteral("optServer"));
    auto *choice = new QButtonGroup(this);
    choice->addButton(optFile);
    choice->addButton(optServer);

    auto *server = new QGroupBox(this);
    server->setObjectName(QStringLiteral("fraServer"));
    auto *form = new QFormLayout(server);
    auto field = [&](const char *name, const QString &caption, QWidget *w) {
        w->setObjectName(QString::fromLatin1(name));
        auto *label = new QLabel(caption, server);
        label->setBuddy(w);
        w->setAccessibleName(CaptionAsName(caption));
        form->addRow(label, w);
        m_serverFields << w << label;
    };
    txtHost = new QLineEdit(server);
    txtHost->setPlaceholderText(QStringLiteral("主机名或 IP 地址，空为本机"));
    field("txtHost", QStringLiteral("服务器："), txtHost);
    txtPort = new QLineEdit(server);
    txtPort->setPlaceholderText(QStringLiteral("5432"));
    txtPort->setValidator(new QIntValidator(1, 65535, txtPort));
    field("txtPort", QStringLiteral("端口："), txtPort);
    txtDatabase = new QLineEdit(server);
    field("txtDatabase", QStringLiteral("数据库："), txtDatabase);
    txtUser = new QLineEdit(server);
    field("txtUser", QStringLiteral("用户名："), txtUser);
    txtPassword = new QLineEdit(server);
    MakePasswordBox(txtPassword);
    field("txtPassword", QStringLiteral("密码："), txtPassword);
    comSslMode = new QComboBox(server);
    for (int i = 0; i < OfferedSslModes().size(); ++i)
        comSslMode->addItem(QString::fromUtf8(kSslModeCaptions[i]), OfferedSslModes().at(i));
    field("comSslMode", QStringLiteral("加密方式："), comSslMode);

    cmdTest = new QPushButton(QStringLiteral("测试连接"), this);
    cmdTest->setObjectName(QStringLiteral("cmdTest"));
    cmdTest->setAutoDefault(false);
    cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setAutoDefault(false);
    // Enter in any field confirms, as in every dialog.
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdTest);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(optFile);
    layout->addWidget(labFile);
    layout->addSpacing(6);
    layout->addWidget(optServer);
    layout->addWidget(server);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(optFile, &QRadioButton::toggled, this, Guarded(this, &frmConnection::updateEnabled));
    connect(cmdTest, &QPushButton::clicked, this, Guarded(this, &frmConnection::cmdTest_Click));
    connect(cmdOK, &QPushButton::clicked, this, Guarded(this, &frmConnection::cmdOK_Click));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded(this, &QDialog::reject));

    setConnection(current, password);
}

void frmConnection::setConnection(const SavedConnection &connection, const QString &password)
{
    (connection.useServer ? optServer : optFile)->setChecked(true);
    txtHost->setText(connection.server.host);
    txtPort->setText(connection.server.port);
    txtDatabase->setText(connection.server.database);
    txtUser->setText(connection.server.user);
    txtPassword->setText(password);
    int mode = comSslMode->findData(connection.server.sslMode);
    // A mode libpq knows but the dialog does not offer (from the command line
    // or a hand-edited file) is shown as it is, so that 确定 keeps what is in
    // use; the user may still choose a stronger one. Anything else becomes
    // the encrypted default rather than something weaker.
    if (mode < 0 && KnownSslModes().contains(connection.server.sslMode)) {
        comSslMode->addItem(SslModeCaption(connection.server.sslMode), connection.server.sslMode);
        mode = comSslMode->count() - 1;
    }
    comSslMode->setCurrentIndex(mode >= 0 ? mode : 0);
    updateEnabled();
}

SavedConnection frmConnection::connection() const
{
    SavedConnection c;
    c.useServer = optServer->isChecked();
    c.server.host = txtHost->text().trimmed();
    c.server.port = txtPort->text().trimmed();
    c.server.database = txtDatabase->text().trimmed();
    c.server.user = txtUser->text().trimmed();
    c.server.sslMode = comSslMode->currentData().toString();
    return c;
}

// Passwords may begin or end with blanks: taken as typed.
QString frmConnection::password() const { return txtPassword->text(); }

void frmConnection::updateEnabled()
{
    const bool server = optServer->isChecked();
    for (QWidget *w : m_serverFields)
        w->setEnabled(server);
    cmdTest->setEnabled(server);
}

bool frmConnection::checkFields()
{
    QString field;
    const QString problem = ServerAddressProblem(connection().server, &field);
    if (problem.isEmpty())
        return true;
    m_services.messages->information(problem);
    const std::pair<const char *, QWidget *> boxes[] = {
        {"host", txtHost}, {"port", txtPort}, {"database", txtDatabase}, {"user", txtUser}, {"sslMode", comSslMode}};
    for (const auto &[name, box] : boxes)
        if (field == QLatin1String(name))
            box->setFocus();
    return false;
}

void frmConnection::cmdTest_Click()
{
    if (!checkFields())
        return;
    Outcome outcome;
    {
        BusyCursor busy;
        outcome = m_services.probe(ServerUri(connection().server), password());
    }
    if (outcome)
        m_services.messages->information(outcome.message());
    else
        m_services.messages->critical(QStringLiteral("连接失败：") + outcome.message(), kAppTitle, outcome.detail());
}

void frmConnection::cmdOK_Click()
{
    const SavedConnection chosen = connection();
    if (chosen.useServer && !checkFields())
        return;
    // A connection for this run only (one given on the command line) is
    // used, never kept in place of the saved one.
    if (!m_services.keepChoice) {
        accept();
        return;
    }
    const QString problem = StoreSavedConnection(*m_services.settings, chosen);
    if (!problem.isEmpty()) {
        m_services.messages->critical(problem);
        return;
    }
    if (chosen.useServer) {
        const QString key = ServerSecretKey(chosen.server);
        // An emptied password box forgets the kept one: it is asked at start.
        const SecretStore::Result kept =
            password().isEmpty() ? m_services.secrets->remove(key) : m_services.secrets->write(key, password());
        if (kept.status == SecretStore::Status::Unavailable && !password().isEmpty())
            m_services.messages->show(kAppTitle,
                                      QStringLiteral("桌面的密钥服务不可用，密码没有保存；每次启动时将询问密码。"),
                                      MessageService::Icon::Information, kept.problem);
    }
    accept();
}

std::optional<QString> AskServerPassword(const ServerAddress &address, QWidget *parent)
{
    QInputDialog prompt(parent);
    prompt.setObjectName(QStringLiteral("frmServerPassword"));
    prompt.setWindowTitle(QStringLiteral("数据库密码"));
    prompt.setLabelText(
        QStringLiteral("请输入用户“%1”连接服务器 %2 的密码：").arg(address.user, ServerDisplayName(address)));
    prompt.setTextEchoMode(QLineEdit::Password);
    prompt.setOkButtonText(QStringLiteral("确定"));
    prompt.setCancelButtonText(QStringLiteral("取消"));
    if (prompt.exec() != QDialog::Accepted)
        return std::nullopt;
    return prompt.textValue();
}

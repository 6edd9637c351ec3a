#pragma once

#include "shell/ConnectionSettings.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>

class MessageService;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSettings;

// What the connection dialog works with; tests put in their own.
struct ConnectionDialogServices {
    std::shared_ptr<MessageService> messages;
    std::shared_ptr<SecretStore> secrets;
    QSettings *settings = nullptr;
    // A trial connection to a URI with a password.
    std::function<Outcome(const QString &uri, const QString &password)> probe;
    // Whether 确定 saves the choice (and its password) for later starts;
    // false while the connection in use is one for this run only.
    bool keepChoice = true;
};

// The 数据库连接 dialog: the local data file or a server (host, port,
// database, user, password, TLS mode), a trial connection, and 确定 to save
// the choice. The settings never hold the password; the secret service
// keeps it, or, where none runs, it is asked at each start.
class frmConnection : public QDialog {
    Q_OBJECT
public:
    frmConnection(const SavedConnection &current, const QString &password, const QString &dataFilePath,
                  ConnectionDialogServices services, QWidget *parent = nullptr);

    // The choice as the fields show it.
    SavedConnection connection() const;
    QString password() const;
    // Shows a choice in the fields.
    void setConnection(const SavedConnection &connection, const QString &password);

private:
    void updateEnabled();
    void cmdTest_Click();
    void cmdOK_Click();
    // The server's fields, or a message and false when one is wrong.
    bool checkFields();

    ConnectionDialogServices m_services;
    QRadioButton *optFile;
    QRadioButton *optServer;
    QLineEdit *txtHost;
    QLineEdit *txtPort;
    QLineEdit *txtDatabase;
    QLineEdit *txtUser;
    QLineEdit *txtPassword;
    QComboBox *comSslMode;
    QPushButton *cmdTest;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;
    QList<QWidget *> m_serverFields;
};

// The password prompt before the login window, for a server whose password
// the secret service does not keep; nullopt when the user cancels.
std::optional<QString> AskServerPassword(const ServerAddress &address, QWidget *parent = nullptr);

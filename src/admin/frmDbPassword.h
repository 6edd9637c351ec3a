#pragma once

#include "data/LibraryBackend.h"
#include "shell/AppState.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// 设置 → 数据库密码: gives a data file library a password of its own
// (administrators). Says before anything changes that a lost password
// cannot be recovered.
class frmDbPassword : public QDialog {
    Q_OBJECT
public:
    frmDbPassword(AppState &state, QWidget *parent = nullptr);

    // Checks the boxes, asks for the user's confirmation and re-keys the
    // file; closes the dialog when it succeeded.
    void cmdOK_Click();
    // Tests stop the re-keying at one of its steps.
    LibraryBackend::KeyProbe probe;

private:
    AppState &m_state;
    QLabel *lblWarn;
    QLabel *labOldKey, *labNewKey, *labNewKeyCheck;
    QLineEdit *txtOldKey, *txtNewKey, *txtNewKeyCheck;
    QPushButton *cmdOK, *cmdCancel;
};

// After a library's password changed from oldKey to newKey (empty: the
// default key): where the secret service keeps a password for the file
// (the user chose "记住"), it now keeps newKey, or nothing for the default
// key. Returns "" when all is as it should be, else a sentence for the user
// saying what could not be done and what it means at the next start.
QString UpdateKeptLibraryKey(SecretStore *secrets, const QString &dataFile, const QString &newKey);

// What the menu item does: the dialog for a data file; for a server
// library a message that the server's own access control applies.
void ShowDbPassword(AppState &state, QWidget *owner);

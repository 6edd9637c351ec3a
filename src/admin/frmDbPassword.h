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

// What the menu item does: the dialog for a data file; for a server
// library a message that the server's own access control applies.
void ShowDbPassword(AppState &state, QWidget *owner);

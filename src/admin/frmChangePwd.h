#pragma once

#include "shell/AppState.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Changes the logged-in user's login name and password.
class frmChangePwd : public QDialog {
    Q_OBJECT
public:
    frmChangePwd(AppState &state, QWidget *parent = nullptr);

    // The OK button's work: checks the three boxes, writes the record and
    // closes the dialog; a failed check leaves it open with the typed values.
    void cmdOK_Click();
    // A line above the boxes saying why the dialog opened by itself (the
    // initial password still in use); the dialog and its rules stay as they are.
    void setReason(const QString &reason);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    AppState &m_state;
    bool m_loaded = false;
    QLabel *labUser, *labPwd, *labPwdCheck;
    QLabel *labReason = nullptr;
    QLineEdit *txtUser, *txtPwd, *txtPwdCheck;
    QPushButton *cmdOK, *cmdCancel;
};

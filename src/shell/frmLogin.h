#pragma once

#include "shell/AppState.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// The first window: checks a user name and password against UserTable.
class frmLogin : public QWidget {
    Q_OBJECT
public:
    frmLogin(AppState &state, QWidget *parent = nullptr);

    // Reloads the users and puts the focus in the user-name box; runs when
    // the window is shown.
    void activate();

Q_SIGNALS:
    // A matching user was found; CurrentUserId and CurrentUserRole are set.
    void loggedIn();
    // Cancel or the close box: the program ends without further steps.
    void cancelled();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void cmdOK_Click();

    AppState &m_state;
    QLineEdit *Text1;
    QLineEdit *Text2;
    bool m_done = false;
};

// Result of a credential check against the user table.
struct LoginMatch {
    bool found = false;
    QString userId;
    int role = -1;
};
// The first row whose user name and password equal the trimmed inputs
// exactly (case-sensitive; stored values are not trimmed).
LoginMatch CheckCredentials(const TextTable &users, const QString &userName, const QString &password);
// Limits read as a role; anything but 0, 1 or 2 gets restricted rights (-1).
int RoleFromLimits(const QString &limits);

// Makes a text box a password box that shows one "*" per character,
// whatever mask the style would use.
void MakePasswordBox(QLineEdit *box);

#pragma once

#include "shell/AppState.h"
#include "data/Users.h"

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
    // The link 数据库连接: the user wants to choose where the library lives.
    void connectionRequested();

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

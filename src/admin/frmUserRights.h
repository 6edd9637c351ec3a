#pragma once

#include "data/Users.h"
#include "shell/ChildScreen.h"

class PagedList;
class QGroupBox;

// The user accounts, for administrators: the users in a paged list with
// their roles; adding a user, giving a user another role, setting a new
// password and deleting a user. Every change is checked against the rules of
// the user table and made in one transaction.
class frmUserRights : public ChildScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmUserRights;

    frmUserRights(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

    PagedList *list() const { return m_list; }
    // The buttons' work.
    void cmdAdd_Click();
    void cmdRole_Click();
    void cmdResetPwd_Click();
    // Ends a lock of failed logins on the chosen user's name.
    void cmdUnlock_Click();
    // The row links: "[修改]" chooses the user for the frame below, "[删除]"
    // deletes the user after asking.
    void labOP_1_Click(int slot);
    void labOP_2_Click(int slot);
    // The user chosen with "[修改]", "" when none.
    QString selectedUserId() const { return m_selectedId; }

protected:
    void onLoad() override;
    void onActivate(const ScreenArgs &) override;

private:
    void showList();
    // By value: callers pass m_selectedId, which this clears first.
    void chooseUser(QString userId);
    // Makes the change; shows the refusal or the success message and
    // refreshes the list. True when the change was made.
    bool apply(const UserChange &change, const QString &success);
    void showProblem(UserProblem problem, UserChange::Kind kind);
    // Checks a password typed twice; focus and message on the first problem.
    bool checkTwice(QLineEdit *password, QLineEdit *check, bool newPassword);

    QLabel *labTitle = nullptr;
    QLabel *Label1 = nullptr;
    PagedList *m_list = nullptr;
    TextTable m_rows;   // the working list: Id, name, role name

    QGroupBox *fraAdd = nullptr;
    QLineEdit *txtUser = nullptr;
    QLineEdit *txtPwd = nullptr;
    QLineEdit *txtPwdCheck = nullptr;
    QComboBox *comRole = nullptr;
    QPushButton *cmdAdd = nullptr;

    QGroupBox *fraEdit = nullptr;
    QLabel *labSelName = nullptr;
    QComboBox *comNewRole = nullptr;
    QPushButton *cmdRole = nullptr;
    QLineEdit *txtNewPwd = nullptr;
    QLineEdit *txtNewPwdCheck = nullptr;
    QPushButton *cmdResetPwd = nullptr;
    QPushButton *cmdUnlock = nullptr;
    QLabel *labEditHint = nullptr;   // how to choose a user, while none is chosen
    QString m_selectedId;
};

#include "TestApp.h"

#include "admin/frmChangePwd.h"
#include "shell/frmLogin.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class ChangePwdTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.addUser("000002", "lisi", "pw2", "1");
        app.addUser("000003", " wang ", "pw3", "2");
        dialog = std::make_unique<frmChangePwd>(app.state, nullptr);
        dialog->show();
    }
    QLineEdit *box(const char *name) const { return dialog->findChild<QLineEdit *>(name); }
    void fill(const QString &user, const QString &pwd, const QString &check)
    {
        box("txtUser")->setText(user);
        box("txtPwd")->setText(pwd);
        box("txtPwdCheck")->setText(check);
    }
    void clickOK() { QTest::mouseClick(dialog->findChild<QPushButton *>("cmdOK"), Qt::LeftButton); }
    QStringList userRow(const QString &id) const
    {
        for (const QStringList &row : app.state.store.UserTable.toLists())
            if (row.value(0) == id)
                return row;
        return {};
    }

    TestApp app;
    std::unique_ptr<frmChangePwd> dialog;
};

TEST_F(ChangePwdTest, LoadShowsTheCurrentUserAndEmptyPasswordBoxes)
{
    EXPECT_EQ(dialog->windowTitle(), "修改密码");
    EXPECT_EQ(box("txtUser")->text(), "admin");
    EXPECT_TRUE(box("txtPwd")->text().isEmpty());
    EXPECT_EQ(box("txtPwd")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(box("txtPwdCheck")->echoMode(), QLineEdit::Password);
    for (const char *name : {"txtPwd", "txtPwdCheck"}) {
        box(name)->setText("ab张3");
        EXPECT_EQ(box(name)->displayText(), "****") << name;   // one "*" per character
    }
}

struct Refusal {
    const char *user, *pwd, *check;
    const char *message;
    MessageService::Icon icon;
    const char *focus;
};

TEST_F(ChangePwdTest, FailedChecksShowTheirMessageAndChangeNothing)
{
    using I = MessageService::Icon;
    const Refusal cases[] = {
        {"   ", "new", "new", "请输入用户名！", I::Information, "txtUser"},
        {"admin", "  ", "new", "请输入新密码！", I::Information, "txtPwd"},
        {"admin", "new", "", "请输入确认密码！", I::Information, "txtPwdCheck"},
        {"admin", "new", "New", "新密码与确认密码不一致！", I::Information, "txtPwdCheck"},
        {" lisi ", "new", "new", "此用户名已被使用，请输入新的用户名。", I::Critical, "txtUser"},
        // Longer than the file keeps: stored cut, the typed pair would no
        // longer log in.
        {"admin", "abcdefghijklmnopqrstu", "abcdefghijklmnopqrstu", "新密码不能超过20个字符（一个汉字算2个字符）。",
         I::Information, "txtPwd"},
        {"admin", "一二三四五六七八九十a", "一二三四五六七八九十a", "新密码不能超过20个字符（一个汉字算2个字符）。",
         I::Information, "txtPwd"},
    };
    for (const Refusal &c : cases) {
        SCOPED_TRACE(c.message);
        app.messages->clear();
        fill(c.user, c.pwd, c.check);
        clickOK();
        ASSERT_EQ(app.messages->shown.size(), 1);
        EXPECT_EQ(app.messages->shown[0].title, "Kestrune");
        EXPECT_EQ(app.messages->shown[0].text, c.message);
        EXPECT_EQ(app.messages->shown[0].icon, c.icon);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->focusWidget(), box(c.focus));
        EXPECT_EQ(box("txtUser")->text(), c.user);   // typed values stay
        app.reloadAll();
        EXPECT_EQ(OpenedBy(userRow("000001"), "123456"), QStringList({"000001", "admin", "123456", "0"}));
    }
}

TEST_F(ChangePwdTest, MismatchSelectsTheTrimmedConfirmation)
{
    fill("admin", "abc", "  abd ");
    clickOK();
    EXPECT_EQ(box("txtPwdCheck")->selectedText(), "abd");
}

TEST_F(ChangePwdTest, OwnNameWithNewPasswordIsStoredTrimmedAndOnlyTheNewPairLogsIn)
{
    fill("admin", "  s3cret ", "s3cret");
    clickOK();
    EXPECT_EQ(app.messages->texts(), QStringList{"修改成功。"});
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Information);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    // LoadUsers ran: the in-memory table already holds the new pair.
    EXPECT_EQ(OpenedBy(userRow("000001"), "s3cret"), QStringList({"000001", "admin", "s3cret", "0"}));
    LoadUsers(app.state.store);
    EXPECT_TRUE(CheckCredentials(app.state.store.UserTable, "admin", "s3cret").found);
    EXPECT_FALSE(CheckCredentials(app.state.store.UserTable, "admin", "123456").found);
    EXPECT_EQ(app.state.session.CurrentUserId, "000001");
}

TEST_F(ChangePwdTest, NamesThatReadAsAnothersAreTakenAndValuesAreClippedToTheirWidths)
{
    // "LISI" reads as "lisi" and "wang" as the stored " wang ": both taken,
    // and nothing is written; a name of its own is free.
    for (const QString name : {QStringLiteral("LISI"), QStringLiteral("wang"), QStringLiteral("zhao")}) {
        const bool taken = name != QStringLiteral("zhao");
        app.messages->clear();
        auto d = std::make_unique<frmChangePwd>(app.state, nullptr);
        d->show();
        d->findChild<QLineEdit *>("txtUser")->setText(name);
        d->findChild<QLineEdit *>("txtPwd")->setText("x");
        d->findChild<QLineEdit *>("txtPwdCheck")->setText("x");
        d->cmdOK_Click();
        EXPECT_EQ(app.messages->texts(), QStringList{taken ? QStringLiteral("此用户名已被使用，请输入新的用户名。")
                                                           : QStringLiteral("修改成功。")})
            << name.toStdString();
        EXPECT_EQ(userRow("000001").value(1) == name, !taken) << name.toStdString();
    }

    // Values as wide as the file keeps are stored whole; a wider name is
    // refused before anything is written.
    const QString fullName = QString(50, QChar(u'名'));               // width 100
    const QString fullPwd = QStringLiteral("一二三四五六七八九十");   // width 20
    fill(fullName, fullPwd, fullPwd);
    clickOK();
    EXPECT_EQ(userRow("000001").value(1), fullName);
    EXPECT_EQ(OpenedBy(userRow("000001"), fullPwd).value(2), fullPwd);
    LoadUsers(app.state.store);
    EXPECT_TRUE(CheckCredentials(app.state.store.UserTable, fullName, fullPwd).found);

    app.messages->clear();
    auto d = std::make_unique<frmChangePwd>(app.state, nullptr);
    d->show();
    d->findChild<QLineEdit *>("txtUser")->setText(fullName + QStringLiteral("a"));
    d->findChild<QLineEdit *>("txtPwd")->setText("x");
    d->findChild<QLineEdit *>("txtPwdCheck")->setText("x");
    d->cmdOK_Click();
    EXPECT_EQ(app.messages->texts(), QStringList{"用户名不能超过100个字符（一个汉字算2个字符）。"});
    EXPECT_EQ(userRow("000001").value(1), fullName);
}

TEST_F(ChangePwdTest, EnterInTheConfirmationBoxActsAsOK)
{
    fill("admin", "pw", "pw");
    box("txtPwdCheck")->setFocus();
    QTest::keyClick(box("txtPwdCheck"), Qt::Key_Return);
    EXPECT_EQ(app.messages->texts(), QStringList{"修改成功。"});
    EXPECT_EQ(OpenedBy(userRow("000001"), "pw").value(2), "pw");
}

TEST_F(ChangePwdTest, UnknownCurrentUserFindsNoRecordAndTheDialogStays)
{
    app.state.session.CurrentUserId = "000099";
    frmChangePwd d(app.state, nullptr);
    d.show();
    EXPECT_TRUE(d.findChild<QLineEdit *>("txtUser")->text().isEmpty());
    d.findChild<QLineEdit *>("txtUser")->setText("newname");
    d.findChild<QLineEdit *>("txtPwd")->setText("p");
    d.findChild<QLineEdit *>("txtPwdCheck")->setText("p");
    d.cmdOK_Click();
    EXPECT_EQ(app.messages->texts(), QStringList{"没有匹配的记录！"});
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Critical);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(app.countRows("login_pwd"), 3);
}

TEST_F(ChangePwdTest, CancelChangesNothing)
{
    fill("other", "p", "p");
    QTest::mouseClick(dialog->findChild<QPushButton *>("cmdCancel"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(app.messages->shown.isEmpty());
    app.reloadAll();
    EXPECT_EQ(userRow("000001").value(1), "admin");
}

}   // namespace

#include "admin/frmUserRights.h"

#include "lists/PagedList.h"
#include "ui/Guarded.h"
#include "ui/Twips.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// "操作" heads both row links; the band runs on over the second.
const QString kHeading = QStringLiteral(" 序号    用户名                        角色           操作       ");

constexpr int kHeadingLeft = 300;
constexpr int kHeadingTop = 900;
constexpr int kFirstRowTop = 1200;
constexpr int kPageLinksTop = 4380;
// The two frames right of the list; controls inside are placed on the
// screen, relative to the frame's top left corner.
constexpr int kFrameLeft = 7500;
constexpr int kFrameWidth = 3900;
constexpr int kAddTop = 900;
constexpr int kEditTop = 3480;
constexpr int kCaptionLeft = 150;
constexpr int kCaptionWidth = 1080;
constexpr int kBoxLeft = 1290;
constexpr int kBoxWidth = 2400;

}   // namespace

frmUserRights::frmUserRights(AppState &state, ScreenNavigator &nav, QWidget *parent)
    : ChildScreen(state, nav, kForm, parent)
{
    addPathLabel();
    labTitle = addTitle(QStringLiteral("用户权限设置"));

    Label1 = addHeading(kHeading, kHeadingLeft, kHeadingTop, 0);
    // Number, name and role under the first three titles, the two row links
    // under "操作".
    const QVector<int> words = HeadingWordLefts(Label1);
    ListLayout layout;
    layout.setColumns(words.first(3), words.value(3), 60);
    layout.firstRowTop = kFirstRowTop;
    layout.firstOperationLeft = words.value(3);
    layout.secondOperationLeft = words.value(3) + 660;
    layout.pageLinksTop = kPageLinksTop;
    layout.pageLinkLefts = {900, 1860, 3060, 4020, 5220};
    m_list = new PagedList(this, m_state.paging, layout);
    connect(m_list, &PagedList::firstOperationClicked, this, Guarded(this, &frmUserRights::labOP_1_Click));
    connect(m_list, &PagedList::secondOperationClicked, this, Guarded(this, &frmUserRights::labOP_2_Click));

    auto frame = [this](const QString &name, const QString &caption, int top, int height) {
        auto *g = new QGroupBox(caption, this);
        g->setObjectName(name);
        g->setGeometry(TwRect(kFrameLeft, top, kFrameWidth, height));
        MakeClassicFrame(g);
        return g;
    };
    // One row of a frame: a right-aligned caption left of its control (which
    // takes the caption as its accessible name when the screen loads).
    auto caption = [this](const QString &name, const QString &text, int frameTop, int row) {
        QLabel *l = addLabel(name, text, kFrameLeft + kCaptionLeft, frameTop + row + 60, kCaptionWidth, 240);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    };
    auto box = [this](const QString &name, int frameTop, int row, bool secret) {
        QLineEdit *e = addTextBox(name, kFrameLeft + kBoxLeft, frameTop + row, kBoxWidth, 330);
        if (secret)
            MakePasswordBox(e);
        return e;
    };

    // A new user.
    fraAdd = frame(QStringLiteral("fraAdd"), QStringLiteral("新建用户"), kAddTop, 2400);
    txtUser = box(QStringLiteral("txtUser"), kAddTop, 300, false);
    caption(QStringLiteral("labUser"), QStringLiteral("用 户 名："), kAddTop, 300);
    txtPwd = box(QStringLiteral("txtPwd"), kAddTop, 720, true);
    caption(QStringLiteral("labPwd"), QStringLiteral("密    码："), kAddTop, 720);
    txtPwdCheck = box(QStringLiteral("txtPwdCheck"), kAddTop, 1140, true);
    caption(QStringLiteral("labPwdCheck"), QStringLiteral("确认密码："), kAddTop, 1140);
    comRole = addList(QStringLiteral("comRole"), {}, kFrameLeft + kBoxLeft, kAddTop + 1560, kBoxWidth, 330);
    // No role until the user picks one: nobody becomes an administrator by
    // overlooking the box.
    comRole->setPlaceholderText(QStringLiteral("请选择"));
    caption(QStringLiteral("labRole"), QStringLiteral("角    色："), kAddTop, 1560);
    cmdAdd =
        addButton(QStringLiteral("cmdAdd"), QStringLiteral("增加"), kFrameLeft + kBoxLeft, kAddTop + 1965, 1095, 375);

    // The user chosen in the list.
    fraEdit = frame(QStringLiteral("fraEdit"), QStringLiteral("修改用户"), kEditTop, 3060);
    labSelName =
        addLabel(QStringLiteral("labSelName"), QString(), kFrameLeft + kBoxLeft, kEditTop + 360, kBoxWidth, 240);
    QLabel *labSelUser = addLabel(QStringLiteral("labSelUser"), QStringLiteral("用 户 名："), kFrameLeft + kCaptionLeft,
                                  kEditTop + 360, kCaptionWidth, 240);
    labSelUser->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    comNewRole = addList(QStringLiteral("comNewRole"), {}, kFrameLeft + kBoxLeft, kEditTop + 720, 1335, 330);
    caption(QStringLiteral("labNewRole"), QStringLiteral("角    色："), kEditTop, 720);
    cmdRole = addButton(QStringLiteral("cmdRole"), QStringLiteral("修改角色"), kFrameLeft + kBoxLeft + 1425,
                        kEditTop + 705, 975, 360);
    txtNewPwd = box(QStringLiteral("txtNewPwd"), kEditTop, 1320, true);
    caption(QStringLiteral("labNewPwd"), QStringLiteral("新 密 码："), kEditTop, 1320);
    txtNewPwdCheck = box(QStringLiteral("txtNewPwdCheck"), kEditTop, 1740, true);
    caption(QStringLiteral("labNewPwdCheck"), QStringLiteral("确认密码："), kEditTop, 1740);
    cmdResetPwd = addButton(QStringLiteral("cmdResetPwd"), QStringLiteral("重设密码"), kFrameLeft + kBoxLeft,
                            kEditTop + 2220, 1095, 375);
    // Beside 重设密码, inside the frame: a name locked by failed logins is
    // freed before its lock runs out.
    cmdUnlock = addButton(QStringLiteral("cmdUnlock"), QStringLiteral("解除锁定"), kFrameLeft + kBoxLeft + 1305,
                          kEditTop + 2220, 1095, 375);
    labEditHint = addLabel(QStringLiteral("labEditHint"), QStringLiteral("请先在左边的列表中点击“[修改]”选择用户。"),
                           kFrameLeft + kCaptionLeft, kEditTop + 2700, kFrameWidth - 300, 240);
    labEditHint->setStyleSheet(QStringLiteral("color: rgb(129, 129, 129);"));

    connect(cmdAdd, &QPushButton::clicked, this, Guarded(this, &frmUserRights::cmdAdd_Click));
    connect(txtPwdCheck, &QLineEdit::returnPressed, this, Guarded(this, &frmUserRights::cmdAdd_Click));
    connect(cmdRole, &QPushButton::clicked, this, Guarded(this, &frmUserRights::cmdRole_Click));
    connect(cmdResetPwd, &QPushButton::clicked, this, Guarded(this, &frmUserRights::cmdResetPwd_Click));
    connect(txtNewPwdCheck, &QLineEdit::returnPressed, this, Guarded(this, &frmUserRights::cmdResetPwd_Click));
    connect(cmdUnlock, &QPushButton::clicked, this, Guarded(this, &frmUserRights::cmdUnlock_Click));
}

void frmUserRights::onLoad()
{
    // The roles by number, as the login gives them.
    for (QComboBox *roles : {comRole, comNewRole}) {
        roles->addItems(m_state.session.RoleNames);
        roles->setCurrentIndex(-1);
    }
}

void frmUserRights::onActivate(const ScreenArgs &)
{
    // Typed names and passwords never wait for the next visit.
    for (QLineEdit *e : {txtUser, txtPwd, txtPwdCheck})
        e->clear();
    comRole->setCurrentIndex(-1);
    chooseUser(QString());
    showList();
}

void frmUserRights::showList()
{
    m_rows.clear();
    const TextTable &users = m_state.store.UserTable;
    for (qsizetype r = 0; r < users.count(); ++r) {
        const int role = RoleFromLimits(users.cell(r, 3));
        // A role the program does not know shows as it is stored.
        const QString roleName = role >= 0 ? m_state.session.RoleNames.value(role) : users.cell(r, 3).toString();
        m_rows.appendCells({users.cell(r, 0), users.cell(r, 1), QStringView(roleName)});
    }
    ListCall call;
    call.columnsUsed = 3;
    call.list = &m_rows;
    call.firstOperation = QStringLiteral("[修改]");
    call.secondOperation = QStringLiteral("[删除]");
    m_list->show(call);
}

void frmUserRights::chooseUser(QString userId)
{
    m_selectedId.clear();
    labSelName->clear();
    comNewRole->setCurrentIndex(-1);
    const TextTable &users = m_state.store.UserTable;
    for (qsizetype r = 0; r < users.count(); ++r) {
        if (users.cell(r, 0) == userId) {
            m_selectedId = userId;
            labSelName->setText(users.cell(r, 1).toString());
            comNewRole->setCurrentIndex(RoleFromLimits(users.cell(r, 3)));
            break;
        }
    }
    txtNewPwd->clear();
    txtNewPwdCheck->clear();
    for (QWidget *w : {static_cast<QWidget *>(comNewRole), static_cast<QWidget *>(cmdRole),
                       static_cast<QWidget *>(txtNewPwd), static_cast<QWidget *>(txtNewPwdCheck),
                       static_cast<QWidget *>(cmdResetPwd), static_cast<QWidget *>(cmdUnlock)})
        w->setEnabled(!m_selectedId.isEmpty());
    labEditHint->setVisible(m_selectedId.isEmpty());
}

void frmUserRights::labOP_1_Click(int slot)
{
    const qsizetype position = m_list->selectSlot(slot);
    if (position < 0)
        return;
    chooseUser(m_rows.cell(position, 0).toString());
    comNewRole->setFocus();
}

void frmUserRights::labOP_2_Click(int slot)
{
    const qsizetype position = m_list->selectSlot(slot);
    if (position < 0)
        return;
    const QString id = m_rows.cell(position, 0).toString();
    UserChange change;
    change.kind = UserChange::Kind::Delete;
    change.userId = id;
    // A deletion that cannot be done (the user logged in, the last
    // administrator) is refused before the question, not after it.
    if (const UserProblem early = CheckUserChange(m_state.store.UserTable, m_state.session.CurrentUserId, change);
        early != UserProblem::None) {
        showProblem(early, change.kind);
        return;
    }
    if (!m_state.messages().question(QStringLiteral("您确定删除用户“%1”吗？").arg(m_rows.cell(position, 1))))
        return;
    if (apply(change, QStringLiteral("删除成功。")) && id == m_selectedId)
        chooseUser(QString());
}

bool frmUserRights::checkTwice(QLineEdit *password, QLineEdit *check, bool newPassword)
{
    const QString word = newPassword ? QStringLiteral("新密码") : QStringLiteral("密码");
    const QString pwd = password->text().trimmed();
    const QString again = check->text().trimmed();
    if (pwd.isEmpty()) {
        m_state.messages().information(QStringLiteral("请输入%1！").arg(word));
        password->setFocus();
        return false;
    }
    if (again.isEmpty()) {
        m_state.messages().information(QStringLiteral("请输入确认密码！"));
        check->setFocus();
        return false;
    }
    if (again != pwd) {
        m_state.messages().information(QStringLiteral("%1与确认密码不一致！").arg(word));
        check->setFocus();
        check->selectAll();
        return false;
    }
    return true;
}

void frmUserRights::cmdAdd_Click()
{
    const QString name = txtUser->text().trimmed();
    if (name.isEmpty()) {
        m_state.messages().information(QStringLiteral("请输入用户名！"));
        txtUser->setFocus();
        return;
    }
    if (!checkTwice(txtPwd, txtPwdCheck, false))
        return;
    if (comRole->currentIndex() < 0) {
        m_state.messages().information(QStringLiteral("请选择角色！"));
        comRole->setFocus();
        return;
    }
    UserChange change;
    change.kind = UserChange::Kind::Add;
    change.name = name;
    change.password = txtPwd->text().trimmed();
    change.role = comRole->currentIndex();
    if (!apply(change, QStringLiteral("增加成功。")))
        return;
    for (QLineEdit *e : {txtUser, txtPwd, txtPwdCheck})
        e->clear();
    comRole->setCurrentIndex(-1);
    txtUser->setFocus();
}

void frmUserRights::cmdRole_Click()
{
    if (m_selectedId.isEmpty())
        return;
    if (comNewRole->currentIndex() < 0) {
        m_state.messages().information(QStringLiteral("请选择角色！"));
        comNewRole->setFocus();
        return;
    }
    UserChange change;
    change.kind = UserChange::Kind::ChangeRole;
    change.userId = m_selectedId;
    change.role = comNewRole->currentIndex();
    if (apply(change, QStringLiteral("修改成功。")))
        chooseUser(m_selectedId);
}

void frmUserRights::cmdResetPwd_Click()
{
    if (m_selectedId.isEmpty())
        return;
    if (!checkTwice(txtNewPwd, txtNewPwdCheck, true))
        return;
    UserChange change;
    change.kind = UserChange::Kind::ResetPassword;
    change.userId = m_selectedId;
    change.password = txtNewPwd->text().trimmed();
    if (apply(change, QStringLiteral("密码已重设。")))
        chooseUser(m_selectedId);
}

void frmUserRights::cmdUnlock_Click()
{
    if (m_selectedId.isEmpty())
        return;
    const QString name = labSelName->text();
    const Result<QDateTime> until = LoginLockedUntil(m_state.store, name, m_state.services.clock->now());
    if (!until) {
        m_state.messages().critical(until.message(), kAppTitle, until.detail());
        return;
    }
    if (!until->isValid()) {
        m_state.messages().information(QStringLiteral("用户“%1”没有被锁定。").arg(name));
        return;
    }
    UserChange change;
    change.kind = UserChange::Kind::Unlock;
    change.userId = m_selectedId;
    apply(change, QStringLiteral("已解除用户“%1”的锁定。").arg(name));
}

bool frmUserRights::apply(const UserChange &change, const QString &success)
{
    const UserChangeResult result = ApplyUserChange(m_state.store, m_state.session.CurrentUserId, change);
    if (result.problem != UserProblem::None) {
        showProblem(result.problem, change.kind);
        return false;
    }
    LoadUsers(m_state.store);
    showList();
    m_state.messages().information(success);
    return true;
}

void frmUserRights::showProblem(UserProblem problem, UserChange::Kind kind)
{
    MessageService &msg = m_state.messages();
    const bool adding = kind == UserChange::Kind::Add;
    QLineEdit *passwordBox = adding ? txtPwd : txtNewPwd;
    switch (problem) {
    case UserProblem::None:
        return;
    case UserProblem::NotAdministrator:
        msg.critical(QStringLiteral("只有系统管理员才能进行此操作！"));
        return;
    case UserProblem::NoSuchUser:
        msg.critical(QStringLiteral("没有匹配的记录！"));
        // Gone behind the screen's back: show the users as they are now.
        LoadUsers(m_state.store);
        showList();
        chooseUser(m_selectedId);
        return;
    case UserProblem::NameEmpty:
        msg.information(QStringLiteral("请输入用户名！"));
        txtUser->setFocus();
        return;
    case UserProblem::NameTooLong:
        msg.information(QStringLiteral("用户名不能超过%1个字符（一个汉字算2个字符）。").arg(kUserNameWidth));
        txtUser->setFocus();
        txtUser->selectAll();
        return;
    case UserProblem::NameTaken:
        msg.critical(QStringLiteral("此用户名已被使用，请输入新的用户名。"));
        txtUser->setFocus();
        txtUser->selectAll();
        return;
    case UserProblem::PasswordEmpty:
        msg.information(adding ? QStringLiteral("请输入密码！") : QStringLiteral("请输入新密码！"));
        passwordBox->setFocus();
        return;
    case UserProblem::PasswordTooLong:
        msg.information(QStringLiteral("%1不能超过%2个字符（一个汉字算2个字符）。")
                            .arg(adding ? QStringLiteral("密码") : QStringLiteral("新密码"))
                            .arg(kPasswordWidth));
        passwordBox->setFocus();
        passwordBox->selectAll();
        return;
    case UserProblem::UnknownRole:
        msg.information(QStringLiteral("请选择角色！"));
        (adding ? comRole : comNewRole)->setFocus();
        return;
    case UserProblem::CurrentUser:
        msg.critical(kind == UserChange::Kind::Delete ? QStringLiteral("不能删除当前登录的用户！")
                                                      : QStringLiteral("不能更改当前登录用户的角色！"));
        return;
    case UserProblem::LastAdministrator:
        msg.critical(kind == UserChange::Kind::Delete ? QStringLiteral("不能删除最后一个管理员！")
                                                      : QStringLiteral("不能更改最后一个管理员的角色！"));
        return;
    }
}

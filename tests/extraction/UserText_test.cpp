// Text users type (names of projects and experts, supervisors) is shown as
// typed, never read as markup.

#include "TestApp.h"
#include "data/DrawStore.h"
#include "data/Projects.h"
#include "data/Schema.h"
#include "extraction/frmAttendance.h"
#include "extraction/frmProject.h"
#include "shell/Screens.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

const QString kMarkupProject = QStringLiteral("<b>x</b>");
const QString kMarkupExpert = QStringLiteral("<i>专家</i>");

// Every label of the widget that holds markup-like text shows it as plain
// text; returns the names of those that do not.
QStringList labelsReadingMarkup(const QWidget *root)
{
    QStringList wrong;
    for (const QLabel *l : root->findChildren<QLabel *>())
        if (l->text().contains(QLatin1Char('<')) && l->textFormat() != Qt::PlainText)
            wrong << l->objectName();
    return wrong;
}

bool showsExactly(const QWidget *root, const QString &text)
{
    for (const QLabel *l : root->findChildren<QLabel *>())
        if (l->text().contains(text))
            return true;
    return false;
}

class UserText : public ::testing::Test {
protected:
    void SetUp() override
    {
        expertId = app.addExpert(kMarkupExpert);
        const QStringList e = app.state.store.ExpertTable.row(0);
        using namespace Schema;
        TextTable drawList;
        drawList.append({e[E_Id], e[E_Name], e[E_Sex], e[E_birth_date], e[E_Company_name], e[E_cong_shi_zhuanye],
                         e[E_zige_name], e[E_Mobile]});
        DrawRound round;
        round.type = RoundType::Manual;
        round.candidateIds = {expertId};
        round.confirmedIds = {expertId};
        round.drawnAt = QDateTime(QDate(2026, 12, 9), QTime(9, 0));
        session.rounds = {round};
        ProjectFacts facts{kMarkupProject, "<u>1</u>", "<s>c</s>", "", "", "<b>监督</b>", ""};
        StoreDrawProject(app.state.store, drawList, session, facts, "admin", round.drawnAt);
        LoadProjects(app.state.store);
        host.area.show();
    }

    TestApp app;
    TestHost host{app.state};
    DrawSession session;
    QString expertId;
};

TEST_F(UserText, ProjectAndExpertScreensShowMarkupAsTyped)
{
    struct Step {
        ScreenId screen;
        ScreenArgs args;
        const char *form;
        QString shown;
    };
    const Step steps[] = {
        {ScreenId::ProjectList, {}, "frmProList", kMarkupProject},
        {ScreenId::ProjectListView, {.projectId = session.projectId}, "frmProListDis", kMarkupProject},
        {ScreenId::ExpertListViewProjects, {.expertId = expertId}, "frmExpertProjects", kMarkupProject},
        {ScreenId::ExpertList, {}, "frmExpertList", kMarkupExpert},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.form);
        host.openScreen(s.screen, s.args);
        const QWidget *screen = host.screen(QString::fromLatin1(s.form));
        ASSERT_NE(screen, nullptr);
        EXPECT_TRUE(showsExactly(screen, s.shown));
        EXPECT_EQ(labelsReadingMarkup(screen), QStringList());
    }
}

TEST_F(UserText, TheAttendanceDialogShowsTheNameAsTyped)
{
    const std::optional<ProjectDetail> project = LoadProject(app.state.store, session.projectId);
    ASSERT_TRUE(project);
    frmAttendance dialog(app.state.services, project->experts[0]);
    EXPECT_TRUE(showsExactly(&dialog, kMarkupExpert));
    EXPECT_EQ(labelsReadingMarkup(&dialog), QStringList());
}

// Names and work units read from a workbook or an older library may hold
// line breaks, and a remark is typed on several lines: single-line cells and
// labels show each break as a space, and the stored values keep them.
class LineBreaks : public ::testing::Test {
protected:
    void SetUp() override
    {
        QStringList fields(Schema::ExpertFieldCount - 1, QStringLiteral(" "));
        fields[Schema::E_Name - 1] = "张\n三";
        fields[Schema::E_Status - 1] = kStatusEnabled;
        fields[Schema::E_Is_temp - 1] = kKindRegular;
        fields[Schema::E_Company_name - 1] = "北京建工\r\n集团";
        fields[Schema::E_zhicheng_id - 1] = "01";
        expertId = app.addExpert(fields);
        const QStringList e = app.state.store.ExpertTable.row(0);
        using namespace Schema;
        TextTable drawList;
        drawList.append({e[E_Id], e[E_Name], e[E_Sex], e[E_birth_date], e[E_Company_name], e[E_cong_shi_zhuanye],
                         e[E_zige_name], e[E_Mobile]});
        DrawRound round;
        round.type = RoundType::Manual;
        round.candidateIds = {expertId};
        round.confirmedIds = {expertId};
        round.drawnAt = QDateTime(QDate(2026, 12, 9), QTime(9, 0));
        session.rounds = {round};
        ProjectFacts facts{"体育\n中心", "", "", "", "", "", "第一行\n第二行"};
        StoreDrawProject(app.state.store, drawList, session, facts, "admin", round.drawnAt);
        LoadProjects(app.state.store);
        host.area.show();
    }

    // The texts of the labels and one-line boxes that show any of the
    // pieces; each must be on one line.
    static QStringList shownWith(const QWidget *root, const QStringList &pieces)
    {
        QStringList texts;
        for (const QLabel *l : root->findChildren<QLabel *>())
            texts << l->text();
        for (const QLineEdit *b : root->findChildren<QLineEdit *>())
            texts << b->text();
        QStringList out;
        for (const QString &t : texts)
            for (const QString &p : pieces)
                if (t.contains(p)) {
                    out << t;
                    break;
                }
        return out;
    }

    TestApp app;
    TestHost host{app.state};
    DrawSession session;
    QString expertId;
};

TEST_F(LineBreaks, ListsLabelsAndBoxesShowABreakAsASpace)
{
    const QStringList pieces{"张", "建工", "体育", "第一行"};
    struct Step {
        ScreenId screen;
        ScreenArgs args;
        const char *form;
        QStringList shown;
    };
    const Step steps[] = {
        {ScreenId::ProjectList, {}, "frmProList", {"体育 中心"}},
        {ScreenId::ProjectListView,
         {.projectId = session.projectId},
         "frmProListDis",
         {"体育 中心", "第一行 第二行", "张 三", "北京建工 集团"}},
        {ScreenId::ExpertListViewProjects, {.expertId = expertId}, "frmExpertProjects", {"体育 中心"}},
        {ScreenId::ExpertList, {}, "frmExpertList", {"张 三"}},
        {ScreenId::ExpertListView, {.expertId = expertId}, "frmExpertListDis", {"张 三", "北京建工 集团"}},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.form);
        host.openScreen(s.screen, s.args);
        const QWidget *screen = host.screen(QString::fromLatin1(s.form));
        ASSERT_NE(screen, nullptr);
        const QStringList texts = shownWith(screen, pieces);
        for (const QString &t : texts)
            EXPECT_FALSE(t.contains(QLatin1Char('\n')) || t.contains(QLatin1Char('\r'))) << t.toStdString();
        for (const QString &want : s.shown)
            EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const QString &t) { return t.contains(want); }))
                << want.toStdString();
    }
    // Only the showing changed.
    LoadExperts(app.state.store);
    EXPECT_EQ(app.state.store.ExpertTable.cell(0, Schema::E_Name), QStringLiteral("张\n三"));
    const std::optional<ProjectDetail> project = LoadProject(app.state.store, session.projectId);
    ASSERT_TRUE(project);
    EXPECT_EQ(project->facts.name, QStringLiteral("体育\n中心"));

    frmAttendance dialog(app.state.services, project->experts[0]);
    const QStringList texts = shownWith(&dialog, pieces);
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].contains("张 三")) << texts[0].toStdString();
    EXPECT_TRUE(texts[0].contains("北京建工 集团")) << texts[0].toStdString();
}

// A fact longer than its box allows is refused with a word, never cut.
TEST(ProjectFactsLength, TooLongIsSaidAndNothingIsCut)
{
    TestApp app;
    struct Case {
        const char *box;
        int length;
        bool accepted;
    } cases[] = {{"txtName", 200, true},
                 {"txtName", 201, false},
                 {"txtSupervisor", 250, false},
                 {"txtRemark", 1000, true},
                 {"txtRemark", 1001, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.box) + " " + std::to_string(c.length));
        frmProject dialog(app.state.services);
        dialog.findChild<QLineEdit *>("txtName")->setText("项目");
        const QString text(c.length, QChar(u'长'));
        if (auto *line = dialog.findChild<QLineEdit *>(c.box))
            line->setText(text);
        else
            dialog.findChild<QPlainTextEdit *>(c.box)->setPlainText(text);
        app.messages->shown.clear();
        QMetaObject::invokeMethod(dialog.findChild<QPushButton *>("cmdOK"), "click");
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted);
        if (c.accepted) {
            EXPECT_TRUE(app.messages->shown.isEmpty());
            const ProjectFacts f = dialog.facts();
            EXPECT_EQ(std::max({f.name.size(), f.supervisor.size(), f.remark.size()}), c.length);
        } else {
            EXPECT_TRUE(app.messages->lastText().contains(QString::number(c.length)))
                << app.messages->lastText().toStdString();
        }
    }
}

}   // namespace

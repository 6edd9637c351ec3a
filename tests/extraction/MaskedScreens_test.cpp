// 身份证号 and phone numbers on the draw, history, project and editor screens
// for each role, with the library's masking setting on and off.

#include "TestApp.h"
#include "data/Database.h"
#include "data/DrawStore.h"
#include "data/DrawVerify.h"
#include "data/ExpertRecord.h"
#include "data/LibrarySettings.h"
#include "data/PersonalData.h"
#include "data/Schema.h"
#include "extraction/ProjectDraws.h"
#include "extraction/frmProListDis.h"
#include "lists/ListEngine.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString kPhone = QStringLiteral("13800000000");
const QString kPhoneMasked = QStringLiteral("138****0000");
const QString kIdNumber = QStringLiteral("110101197001011234");
const QString kIdNumberMasked = QStringLiteral("110101********1234");

class MaskedScreens : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char *name : {"甲", "乙", "丙"})
            ids << app.addExpert(QString::fromUtf8(name));
        host.area.show();
    }

    void setUp(int role, bool maskingOn)
    {
        app.state.session.CurrentUserRole = role;
        ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::MaskPersonalData, maskingOn ? "1" : "0").ok());
    }

    // Every label text the screen shows.
    QStringList shownTexts(const QString &form)
    {
        QStringList out;
        for (const QLabel *l : host.screen(form)->findChildren<QLabel *>())
            out << l->text();
        return out;
    }
    void expectPhones(const QStringList &texts, bool masked)
    {
        EXPECT_EQ(texts.contains(kPhone), !masked);
        EXPECT_EQ(texts.contains(kPhoneMasked), masked);
    }
    static QStringList column(const TextTable &t, int c)
    {
        QStringList out;
        for (qsizetype r = 0; r < t.count(); ++r)
            out << t.cell(r, c).toString();
        return out;
    }

    template <typename T> T *find(const char *form, const QString &name)
    {
        T *w = host.find<T>(QString::fromLatin1(form), name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); }

    // A manual draw of every expert on the draw screen, the first two
    // confirmed: the result screen comes up with them.
    void drawTwo()
    {
        host.openScreen(ScreenId::Draw);
        click(find<QPushButton>("frmNewProSelExpert", "cmdSearch"));
        for (int slot : {0, 1})
            click(find<QCheckBox>("frmNewProSelExpert", ArrayName("chk", slot)));
        click(find<QPushButton>("frmNewProSelExpert", "cmd_OK"));
    }

    QStringList storedPhones()
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement st = conn.prepare("SELECT Mobile FROM draw_expert ORDER BY Project_Id, Seq");
        QStringList out;
        while (st.step())
            out << st.text(0);
        return out;
    }

    TestApp app;
    TestHost host{app.state};
    QStringList ids;
};

struct RoleCase {
    int role;
    bool maskingOn;
    bool masked;
};
const RoleCase kRoleCases[] = {
    {0, false, false}, {1, false, false}, {2, false, false}, {0, true, false}, {1, true, true}, {2, true, true},
};
std::string Describe(const RoleCase &c)
{
    return "role " + std::to_string(c.role) + (c.maskingOn ? ", masking on" : ", masking off");
}

TEST_F(MaskedScreens, DrawCandidatesAndTheDrawListFollowTheRoleAndTheSetting)
{
    for (const RoleCase &c : kRoleCases) {
        SCOPED_TRACE(Describe(c));
        setUp(c.role, c.maskingOn);
        app.state.draw.DrawUnsaved = false;
        host.openScreen(ScreenId::Draw);
        click(find<QPushButton>("frmNewProSelExpert", "cmdSearch"));
        const QString phone = c.masked ? kPhoneMasked : kPhone;
        EXPECT_EQ(column(app.state.draw.CandidateList, 7), QStringList(3, phone));
        expectPhones(shownTexts("frmNewProSelExpert"), c.masked);

        click(find<QCheckBox>("frmNewProSelExpert", ArrayName("chk", 0)));
        click(find<QPushButton>("frmNewProSelExpert", "cmd_OK"));
        ASSERT_EQ(app.state.nav.CurrentScreen, 13);
        // The list the printout and the export are made from.
        EXPECT_EQ(column(app.state.draw.DrawList, 7), QStringList{phone});
        expectPhones(shownTexts("frmNewPro"), c.masked);
    }
}

TEST_F(MaskedScreens, TheAdvancedSearchFollowsTheRoleAndTheSetting)
{
    for (const RoleCase &c : kRoleCases) {
        SCOPED_TRACE(Describe(c));
        setUp(c.role, c.maskingOn);
        host.openScreen(ScreenId::ExpertSearch);
        click(find<QPushButton>("frmSearchExpert", "cmdSearch"));
        // The rows the printout and the export are made from.
        EXPECT_EQ(column(app.state.SearchResultRows, 6), QStringList(3, c.masked ? kPhoneMasked : kPhone));
        expectPhones(shownTexts("frmSearchExpert"), c.masked);
    }
}

TEST_F(MaskedScreens, TheHistoryListFollowsTheRoleAndTheSetting)
{
    app.addSelection(app.clock->date.toString("yyyy-MM-dd"), ids[0]);
    for (const RoleCase &c : kRoleCases) {
        SCOPED_TRACE(Describe(c));
        setUp(c.role, c.maskingOn);
        host.openScreen(ScreenId::DrawHistory);
        click(find<QPushButton>("frmExpertHistory", "cmdSearch"));
        EXPECT_EQ(column(app.state.HistoryList, 7), QStringList{c.masked ? kPhoneMasked : kPhone});
        expectPhones(shownTexts("frmExpertHistory"), c.masked);
    }
}

TEST_F(MaskedScreens, AProjectAndItsPrintedRecordFollowTheRoleAndTheSetting)
{
    DrawWorkspace draw;
    draw.DrawRecord.rounds = {TemporaryRound({ids[1]}, QDateTime(app.clock->date, QTime(9, 0)))};
    draw.DrawList.append({ids[1], "乙", "男", "1970-01-01", "北京建工集团", "土木工程", "一级建造师", kPhone});
    const StoredDraw stored = StoreDrawProject(app.state.store, draw.DrawList, draw.DrawRecord, {"项目"}, "admin",
                                               QDateTime(app.clock->date, QTime(9, 5)));
    for (const RoleCase &c : kRoleCases) {
        SCOPED_TRACE(Describe(c));
        setUp(c.role, c.maskingOn);
        host.openScreen(ScreenId::ProjectListView, {.projectId = stored.projectId});
        auto *screen = static_cast<frmProListDis *>(host.screen("frmProListDis"));
        expectPhones(shownTexts("frmProListDis"), c.masked);
        ASSERT_TRUE(screen->project());
        // The printed draw record is made from the project as the screen holds it.
        const DrawRecordContent record = DrawRecordOf(*screen->project());
        ASSERT_EQ(record.experts.count(), 1);
        EXPECT_EQ(record.experts.cell(0, 5), c.masked ? kPhoneMasked : kPhone);
    }
    // Looking never changes what is stored.
    EXPECT_EQ(storedPhones(), QStringList{kPhone});
    const Result<ProjectVerification> verified = VerifyProject(app.state.store, stored.projectId);
    ASSERT_TRUE(verified);
    EXPECT_TRUE(verified.value().ok()) << verified.value().problems.join("; ").toStdString();
}

TEST_F(MaskedScreens, AMaskedRoleStoresTheRealNumbersOfItsDraw)
{
    setUp(1, true);
    drawTwo();
    ASSERT_EQ(column(app.state.draw.DrawList, 7), QStringList(2, kPhoneMasked));
    click(find<QPushButton>("frmNewPro", "cmdSave"));
    EXPECT_EQ(app.messages->lastText(), QStringLiteral("增加成功。"));
    EXPECT_EQ(storedPhones(), QStringList(2, kPhone));
    const Result<ProjectVerification> verified = VerifyProject(app.state.store, "000001");
    ASSERT_TRUE(verified);
    EXPECT_TRUE(verified.value().ok()) << verified.value().problems.join("; ").toStdString();
}

TEST_F(MaskedScreens, TheEditorShownToAMaskedRoleNeverSavesTheMask)
{
    const char *const kUpd = "frmExpertListUpd";
    auto openUpdate = [this] {
        app.state.ExpertListRows.clear();
        app.state.ExpertListRows.append({ids[0], "甲"});
        app.state.paging.SelectedRow = 1;
        host.openScreen(ScreenId::ExpertListEdit);
    };
    auto box = [this, kUpd](int index) { return find<QLineEdit>(kUpd, ArrayName("txtDis", index)); };
    auto stored = [this](int field) {
        LoadExperts(app.state.store);
        return app.state.store.ExpertTable.cell(FindExpertRow(app.state.store, ids[0]), field).toString();
    };
    const int idBox = ExpertFieldForPosition(Schema::E_Profession)->editorBox;
    const int phoneBox = ExpertFieldForPosition(Schema::E_Mobile)->editorBox;

    struct Case {
        const char *what;
        int role;
        QString typedPhone;   // "" leaves the box as shown
        QString idShown, phoneShown, idStored, phoneStored;
    } cases[] = {
        {"administrator, unchanged", 0, "", kIdNumber, kPhone, kIdNumber, kPhone},
        {"masked role, unchanged", 1, "", kIdNumberMasked, kPhoneMasked, kIdNumber, kPhone},
        {"masked role, a new number", 2, "13911112222", kIdNumberMasked, kPhoneMasked, kIdNumber, "13911112222"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        setUp(c.role, true);
        openUpdate();
        EXPECT_EQ(box(idBox)->text(), c.idShown);
        EXPECT_EQ(box(phoneBox)->text(), c.phoneShown);
        if (!c.typedPhone.isEmpty())
            box(phoneBox)->setText(c.typedPhone);
        click(find<QPushButton>(kUpd, "cmd_Save"));
        EXPECT_EQ(app.messages->lastText(), QStringLiteral("修改成功。"));
        EXPECT_EQ(stored(Schema::E_Profession), c.idStored);
        EXPECT_EQ(stored(Schema::E_Mobile), c.phoneStored);
    }
}

}   // namespace

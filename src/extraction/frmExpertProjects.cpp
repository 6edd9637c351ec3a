#include "extraction/frmExpertProjects.h"

#include "data/ExpertRecord.h"
#include "data/Projects.h"
#include "data/Schema.h"
#include "data/TextWidth.h"
#include "extraction/ProjectDraws.h"
#include "lists/PagedList.h"
#include "ui/Guarded.h"

#include <QLabel>
#include <QPushButton>

namespace {

const QString kHeading = QStringLiteral(" 序号    抽取时间              项目名称                          项目编号     "
                                        "     抽取方式      出席情况  操作员       操作");
constexpr int kHeadingTop = 1380;

}   // namespace

frmExpertProjects::frmExpertProjects(AppState &state, ScreenNavigator &nav, QWidget *parent)
    : ChildScreen(state, nav, kForm, parent)
{
    addPathLabel();
    addTitle(QStringLiteral("专家参与项目"));
    labExpert = addLabel(QStringLiteral("labExpert"), QString(), 300, 960, 9000, 255);

    const QVector<int> words = HeadingWordLefts(addHeading(kHeading, 300, kHeadingTop, 0));
    ListLayout layout;
    layout.setColumns(words.first(7), words.value(7), 60);
    layout.firstRowTop = kHeadingTop + 300;
    layout.firstOperationLeft = words.value(7);
    layout.setPageLinks(kHeadingTop + 300 * 11 + 60);
    m_list = new PagedList(this, m_state.paging, layout);
    connect(m_list, &PagedList::firstOperationClicked, this, Guarded(this, &frmExpertProjects::openProject));

    cmd_Back =
        addButton(QStringLiteral("cmd_Back"), QStringLiteral("返 回"), 5580, kHeadingTop + 300 * 12 + 120, 1095, 435);
    connect(cmd_Back, &QPushButton::clicked, this, Guarded(this, &frmExpertProjects::back));
}

void frmExpertProjects::onActivate(const ScreenArgs &args)
{
    m_expertId = args.expertId;
    const QString &id = m_expertId;
    const qsizetype row = FindExpertRow(m_state.store, id);
    const QString name =
        row >= 0 ? m_state.store.ExpertTable.cell(row, Schema::E_Name).trimmed().toString() : QString();
    // Panels still confidential to this user do not name their experts:
    // listing the project here would.
    const Result<QHash<QString, PanelAccess>> access = LoadPanelAccess(m_state.store);
    const TextTable all = access ? ProjectsOfExpert(m_state.store, id) : TextTable();
    const PanelViewer viewer = CurrentViewer(m_state.session, m_state.store.UserTable);
    const QDateTime now = m_state.services.clock->now();
    m_rows.clear();
    for (qsizetype r = 0; r < all.count(); ++r)
        if (!PanelIsConfidential(access->value(all.cell(r, EP_Project).toString()), viewer, now))
            m_rows.appendRowOf(all, r);
    labExpert->setText(
        QStringLiteral("专家：%1（%2）  共参与%3个项目的抽取").arg(ShownOnOneLine(name), id).arg(m_rows.count()));
    ListCall call;
    call.columnsUsed = 7;
    call.list = &m_rows;
    call.firstOperation = QStringLiteral("[查看]");
    m_list->show(call);
    if (!access)
        m_state.messages().failed(access.failure());
}

void frmExpertProjects::openProject(int slot)
{
    const qsizetype row = m_list->selectSlot(slot);
    if (row < 0)
        return;
    m_nav.openScreen(ScreenId::ProjectListView, {.projectId = m_rows.cell(row, EP_Project).toString()});
}

void frmExpertProjects::back()
{
    // Back to the detail view the projects were opened from.
    if (m_state.nav.isCurrentScreen(ScreenId::ExpertListViewProjects))
        m_nav.openScreen(ScreenId::ExpertListView, {.expertId = m_expertId});
    else if (m_state.nav.isCurrentScreen(ScreenId::ExpertSearchViewProjects))
        m_nav.openScreen(ScreenId::ExpertSearchView, {.expertId = m_expertId});
}

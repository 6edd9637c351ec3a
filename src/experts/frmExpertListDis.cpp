#include "experts/frmExpertListDis.h"

#include "data/Credit.h"
#include "data/PersonalData.h"
#include "data/Vocabulary.h"
#include "ui/Guarded.h"
#include "ui/ScreenStyle.h"

#include <QLabel>
#include <QPushButton>

using namespace Schema;

frmExpertListDis::frmExpertListDis(AppState &state, ScreenNavigator &nav, QWidget *parent)
    : ExpertFormScreen(state, nav, kForm, Inputs::ReadOnly, parent)
{
    labTitle->setText(QStringLiteral("专家详细信息"));
    labTitle->adjustSize();
    cmd_Back = addButton(QStringLiteral("cmd_Back"), QStringLiteral("返 回"), 5580, 7125, 1095, 435);
    connect(cmd_Back, &QPushButton::clicked, this, Guarded([this] { back(); }));
    cmdProjects = addButton(QStringLiteral("cmdProjects"), QStringLiteral("参与项目"), 6915, 7125, 1095, 435);
    connect(cmdProjects, &QPushButton::clicked, this, Guarded(this, &frmExpertListDis::showProjects));
    labSuspension = addLabel(QStringLiteral("labSuspension"), QString(), 8160, 7215, 3400, 255);
    SetTextColor(labSuspension, kWarningRed);
}

void frmExpertListDis::showProjects()
{
    // The projects of the expert on show, from the list (21) or the search (22).
    if (m_state.nav.isCurrentScreen(ScreenId::ExpertListView))
        m_nav.openScreen(ScreenId::ExpertListViewProjects, {.expertId = m_expertId});
    else if (m_state.nav.isCurrentScreen(ScreenId::ExpertSearchView))
        m_nav.openScreen(ScreenId::ExpertSearchViewProjects, {.expertId = m_expertId});
}

void frmExpertListDis::onActivate(const ScreenArgs &args)
{
    m_expertId = args.expertId;
    const qsizetype row = FindExpertRow(m_state.store, m_expertId);
    // An expert no longer in the table leaves the previous content on show.
    if (row < 0)
        return;
    showExpert(m_state.store.ExpertTable.row(row));
    const Result<QList<Suspension>> suspensions = ReadSuspensions(m_state.store, m_expertId);
    const Suspension *now = suspensions ? SuspensionInForce(suspensions.value(), m_expertId, m_state.today()) : nullptr;
    labSuspension->setText(!suspensions ? QStringLiteral("无法读取暂停情况")
                           : now        ? QStringLiteral("暂停抽取（%1）").arg(now->term())
                                        : QString());
}

void frmExpertListDis::showExpert(const QStringList &row)
{
    auto cell = [&row](int field) { return field < row.size() ? row.at(field) : QString(); };
    const bool masked = MasksPersonalData(m_state.store, m_state.session.CurrentUserRole);
    for (const ExpertFieldDef &f : ExpertFields()) {
        QString text = cell(f.field);
        if (masked && f.field == E_Profession)
            text = MaskIdNumber(text);
        else if (masked && f.field == E_Mobile)
            text = MaskPhone(text);
        // Degree and title level are stored as row numbers of their tables;
        // a code that names no row shows an empty box.
        if (f.field == E_degree_type_id)
            text = DegreeNameForCode(m_state.store, text);
        else if (f.field == E_zhicheng_id)
            text = TitleNameForCode(m_state.store, text);
        setBoxText(f.caption, text);
    }
}

void frmExpertListDis::back()
{
    if (m_state.nav.isCurrentScreen(ScreenId::ExpertListView)) {
        m_nav.openScreen(ScreenId::ExpertList);
    } else if (m_state.nav.isCurrentScreen(ScreenId::ExpertSearchView)) {
        // The search keeps its criteria, results and page.
        m_nav.openScreen(ScreenId::ExpertSearch, {.returning = true});
    }
}

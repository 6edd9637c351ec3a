#include "experts/frmExpertListDis.h"

#include "data/ReferenceNames.h"

#include <QLabel>
#include <QPushButton>

using namespace Schema;

frmExpertListDis::frmExpertListDis(AppState &state, ScreenNavigator &nav, QWidget *parent)
    : ExpertFormScreen(state, nav, QStringLiteral("frmExpertListDis"), parent)
{
}

void frmExpertListDis::onLoad()
{
    buildForm(Inputs::ReadOnly);
    labTitle->setText(QStringLiteral("专家详细信息"));
    labTitle->adjustSize();
    cmd_Back = addButton(QStringLiteral("cmd_Back"), QStringLiteral("返 回"), 5580, 7125, 1095, 435);
    connect(cmd_Back, &QPushButton::clicked, this, [this] { back(); });
    cmdProjects = addButton(QStringLiteral("cmdProjects"), QStringLiteral("参与项目"), 6915, 7125, 1095, 435);
    connect(cmdProjects, &QPushButton::clicked, this, [this] { showProjects(); });
}

void frmExpertListDis::showProjects()
{
    // The projects of the expert on show, from the list (21) or the search (22).
    if (m_state.CurrentScreen == 7)
        m_nav.openScreen(21, QStringLiteral("frmExpertProjects"));
    else if (m_state.CurrentScreen == 10)
        m_nav.openScreen(22, QStringLiteral("frmExpertProjects"));
}

void frmExpertListDis::onActivate()
{
    const int screen = m_state.CurrentScreen;
    const QString key = (screen == 7 || screen == 10) ? m_state.SelectedExpertId : QString();
    const qsizetype row = FindExpertRow(m_state, key);
    // An expert no longer in the table leaves the previous content on show.
    if (row >= 0)
        showExpert(m_state.ExpertTable.rows.at(row));
}

void frmExpertListDis::showExpert(const QStringList &row)
{
    auto cell = [&row](int field) { return field < row.size() ? row.at(field) : QString(); };
    for (const ExpertFieldDef &f : ExpertFields()) {
        QString text = cell(f.field);
        // Degree and title level are stored as row numbers of their tables;
        // a code that names no row shows an empty box.
        if (f.field == E_degree_type_id)
            text = DegreeNameForCode(m_state, text);
        else if (f.field == E_zhicheng_id)
            text = TitleNameForCode(m_state, text);
        setBoxText(f.caption, text);
    }
}

void frmExpertListDis::back()
{
    if (m_state.CurrentScreen == 7) {
        m_nav.openScreen(5, QStringLiteral("frmExpertList"));
    } else if (m_state.CurrentScreen == 10) {
        // The search keeps its criteria, results and page when it sees this.
        m_state.SearchReturn = true;
        m_nav.openScreen(9, QStringLiteral("frmSearchExpert"));
    }
}

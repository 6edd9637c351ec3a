#include "experts/frmExpertList.h"

#include "data/Credit.h"

#include "data/ExpertRecord.h"
#include "experts/ExpertFilters.h"
#include "lists/PagedList.h"
#include "ui/Guarded.h"
#include "ui/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr QRgb kBlack = 0xFF000000;

// Column headings; the runs of blanks line the words up over the columns.
const QString kHeadingFull = QStringLiteral("序号    姓名     性别    城市                 从事专业               职称 "
                                            "   状态    性质       星级            操作");
const QString kHeadingReadOnly = QStringLiteral(
    "序号    姓名     性别    城市                 从事专业               职称    状态    性质       星级       操作");

// Left edges of lab1 .. lab9 and of the row links and check boxes.
constexpr int kColumnLefts[kExpertListColumns] = {300, 780, 1800, 2340, 3315, 6375, 7080, 7800, 8520};
constexpr int kFirstOperationLeft = 9840;
constexpr int kFirstRowTop = 1680;
constexpr int kRowSpacing = 300;
constexpr int kHeadingTop = 1380;
// Vertical rules of the grid: the left edge, one before each column and
// row-link column, the read-only list's right edge and the full list's.
constexpr int kRuleLefts[12] = {285, 750, 1770, 2310, 3285, 6345, 7050, 7770, 8490, 9780, 10500, 11250};

ListLayout ExpertListLayout()
{
    ListLayout l;
    l.setColumns(QVector<int>(std::begin(kColumnLefts), std::end(kColumnLefts)), kFirstOperationLeft);
    l.firstRowTop = kFirstRowTop;
    l.rowSpacing = kRowSpacing;
    l.firstOperationLeft = kFirstOperationLeft;
    l.secondOperationLeft = 10560;
    l.checkLeft = 11400;
    l.checkAllLeft = 11400;
    l.checkAllTop = 4800;
    l.labelAllLeft = 10725;
    l.labelAllTop = 4800;
    // The list starts further left than on the other screens; so do its links.
    l.setPageLinks(4920, 2460);
    return l;
}

QFrame *MakeRule(QWidget *parent, const QString &name)
{
    auto *rule = new QFrame(parent);
    rule->setObjectName(name);
    rule->setAutoFillBackground(true);
    QPalette pal = rule->palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 0));
    rule->setPalette(pal);
    return rule;
}

}   // namespace

frmExpertList::frmExpertList(AppState &state, ScreenNavigator &nav, QWidget *parent)
    : ChildScreen(state, nav, kForm, parent)
{
    addPathLabel();
    labTitle = addTitle(QStringLiteral("专家列表"));

    labName = addLabel(QStringLiteral("labName"), QStringLiteral("专家姓名："), 450, 960);
    txtName = addTextBox(QStringLiteral("txtName"), 1290, 900, 1575);
    labStatus = addLabel(QStringLiteral("labStatus"), QStringLiteral("专家状态："), 3210, 960);
    comlabStatus = addList(QStringLiteral("comlabStatus"), WithAllItem(StatusItems()), 4170, 900, 1155);
    cmdSearch = addButton(QStringLiteral("cmdSearch"), QStringLiteral("检索"), 5670, 900, 735, 330);

    Label1 = addHeading(kHeadingFull, 300, kHeadingTop, 10985);

    Line1 = MakeRule(this, QStringLiteral("Line1"));
    Line2 = MakeRule(this, QStringLiteral("Line2"));
    for (int i = 0; i < 12; ++i)
        Line3 << MakeRule(this, ArrayName(QStringLiteral("Line3"), i));
    for (int i = 0; i < 9; ++i)
        Line4 << MakeRule(this, ArrayName(QStringLiteral("Line4"), i));

    m_list = new PagedList(this, state.paging, ExpertListLayout());
    cmdDel = addButton(QStringLiteral("cmdDel"), QStringLiteral("删除"), 10050, 4725, 735, 375);
    // "全选" starts just inside the button's right edge: keep its text on top.
    m_list->controls().labAll->raise();

    // The star cells keep their red whatever the page shows.
    for (QLabel *stars : m_list->controls().lab[8])
        SetTextColor(stars, kWarningRed);

    connect(cmdSearch, &QPushButton::clicked, this, Guarded(this, &frmExpertList::cmdSearch_Click));
    connect(txtName, &QLineEdit::returnPressed, this, Guarded(this, &frmExpertList::cmdSearch_Click));
    connect(cmdDel, &QPushButton::clicked, this, Guarded(this, &frmExpertList::cmdDel_Click));
    connect(m_list, &PagedList::pageShown, this, Guarded(this, &frmExpertList::SetRedColor));
    connect(m_list, &PagedList::firstOperationClicked, this, Guarded(this, &frmExpertList::labOP_1_Click));
    connect(m_list, &PagedList::secondOperationClicked, this, Guarded(this, &frmExpertList::labOP_2_Click));
    // Paging on a shared library shows what colleagues changed meanwhile,
    // under the same filter.
    m_list->setRefresh([this] {
        bool changed = false;
        if (!refreshSharedTables(&changed) || !changed)
            return false;
        SetExpert_MsgTemp(m_state.store, m_shownName, m_shownStatus, m_state.ExpertListRows);
        return true;
    });
}

void frmExpertList::onLoad()
{
    // The rights of the user who logged in hold for the whole run.
    m_fullRights = m_state.session.isAdministrator();
    comlabStatus->setCurrentIndex(0);
    if (m_fullRights) {
        Label1->setText(kHeadingFull);
        Label1->setFixedWidth(Px(10985));
        placeRules(11250, true);
    } else {
        Label1->setText(kHeadingReadOnly);
        Label1->setFixedWidth(Px(10235));
        placeRules(10500, false);
        ListControls &c = m_list->controls();
        for (int i = 0; i < kRowsPerPage; ++i) {
            c.chk[i]->hide();
            c.labOP_2[i]->hide();
        }
        c.chkAll->hide();
        c.labAll->hide();
        cmdDel->hide();
    }
}

void frmExpertList::placeRules(int rightEnd, bool lastColumnRule)
{
    const int left = kRuleLefts[0];
    const int gridTop = kFirstRowTop - 15;                         // just above slot 0
    const int gridBottom = gridTop + kRowsPerPage * kRowSpacing;   // just below slot 9
    Line1->setGeometry(TwRect(left, gridTop, rightEnd - left, 15));
    Line2->setGeometry(TwRect(left, gridBottom, rightEnd - left, 15));
    for (int k = 0; k < Line4.size(); ++k)
        Line4[k]->setGeometry(TwRect(left, gridTop + (k + 1) * kRowSpacing, rightEnd - left, 15));
    for (int i = 0; i < Line3.size(); ++i)
        Line3[i]->setGeometry(TwRect(kRuleLefts[i], kHeadingTop, 15, gridBottom - kHeadingTop + 15));
    // With both row links, "操作" heads the two link columns together: the
    // rule between them starts below the heading instead of cutting the word.
    if (lastColumnRule)
        Line3[10]->setGeometry(TwRect(kRuleLefts[10], gridTop, 15, gridBottom - gridTop + 15));
    Line3[11]->setVisible(lastColumnRule);
}

void frmExpertList::onActivate(const ScreenArgs &)
{
    // Filters never survive leaving the screen.
    txtName->clear();
    comlabStatus->setCurrentIndex(0);
    m_shownName.clear();
    m_shownStatus = kAllItem;
    SetExpert_MsgTemp(m_state.store, m_shownName, m_shownStatus, m_state.ExpertListRows);
    showList();
}

void frmExpertList::cmdSearch_Click()
{
    // A search on a shared library finds what colleagues added meanwhile.
    if (!refreshSharedTables())
        return;
    m_shownName = txtName->text().trimmed();
    m_shownStatus = comlabStatus->currentText();
    SetExpert_MsgTemp(m_state.store, m_shownName, m_shownStatus, m_state.ExpertListRows);
    showList();
}

void frmExpertList::showList()
{
    // Suspensions live in the library, not in the in-memory tables: read
    // once per list shown, for the colouring of every page of it.
    // A server out of reach was already told by the screen switch: the
    // colouring stays as last read rather than a second box.
    const Result<QSet<QString>> suspended = SuspendedExperts(m_state.store, m_state.today());
    if (suspended)
        m_suspended = suspended.value();
    else if (!suspended.failure().retryable())
        m_state.messages().failed(suspended.failure());
    ListCall call;
    call.columnsUsed = kExpertListColumns;
    call.list = &m_state.ExpertListRows;
    call.firstOperation = QStringLiteral("[查看]");
    call.secondOperation = m_fullRights ? QStringLiteral("[修改]") : QString();
    call.checkBoxes = m_fullRights;
    m_list->show(call);   // pageShown recolours the cells
}

void frmExpertList::SetRedColor()
{
    const ListControls &c = m_list->controls();
    for (int i = 0; i < kRowsPerPage; ++i) {
        QLabel *status = c.lab[6][i];
        QLabel *nature = c.lab[7][i];
        const qsizetype row = m_list->rowOfSlot(i);
        const bool suspended =
            row >= 0 && !m_suspended.isEmpty() && m_suspended.contains(m_state.ExpertListRows.cell(row, 0).toString());
        // A suspended expert keeps the status text; its colour and tip tell.
        SetTextColor(status, !status->isHidden() && status->text() == kStatusDisabled ? kWarningRed
                             : suspended                                              ? kSuspendedOrange
                                                                                      : kBlack);
        status->setToolTip(suspended ? QStringLiteral("暂停抽取") : QString());
        SetTextColor(nature, !nature->isHidden() && nature->text() == kKindTemporary ? kWarningRed : kBlack);
    }
}

void frmExpertList::labOP_1_Click(int slot)
{
    const qsizetype position = m_list->selectSlot(slot);
    if (position < 0)
        return;
    m_nav.openScreen(ScreenId::ExpertListView, {.expertId = m_state.ExpertListRows.cell(position, 0).toString()});
}

void frmExpertList::labOP_2_Click(int slot)
{
    if (!m_fullRights)
        return;
    // The update screen reads the expert's Id from the selected row.
    if (m_list->selectSlot(slot) < 0)
        return;
    m_nav.openScreen(ScreenId::ExpertListEdit);
}

void frmExpertList::cmdDel_Click()
{
    if (!m_fullRights)
        return;
    const QVector<int> ticked = m_list->checkedSlots();
    if (ticked.isEmpty()) {
        m_state.messages().information(QStringLiteral("请您至少选择一条记录！"));
        return;
    }
    if (!m_state.messages().question(QStringLiteral("您确定删除吗？")))
        return;

    QStringList ids;
    QVector<qsizetype> positions;
    for (int slot : ticked) {
        const qsizetype position = m_list->rowOfSlot(slot);
        if (position < 0)
            continue;
        positions << position;
        ids << m_state.ExpertListRows.cell(position, 0).toString();
    }
    if (ids.isEmpty())
        return;

    // The draw records that go with the experts, as the table knows them.
    const QStringList selections = SelectionIdsOfExperts(m_state.store, ids);
    const Result<ExpertDeletion> result = DeleteExpertsWithSelections(m_state.store, ids, m_state.today());
    if (!result) {
        // Like a failed save: nothing was deleted, the list stays as it is.
        m_state.messages().failed(result.failure());
        return;
    }
    if (!result.value().deleted) {
        m_state.paging.SelectedRow = positions[result.value().missingIndex] + 1;
        m_state.messages().critical(QStringLiteral("没有匹配的记录！"));
        return;
    }
    m_state.paging.SelectedRow = positions.last() + 1;
    // A deleted expert leaves the draw list too: once its Id is handed to the
    // next new expert, storing the draw would record that other person.
    m_state.draw.DrawList.removeRowsIf(
        [&ids](const TextTable &list, qsizetype row) { return ids.contains(list.cell(row, 0)); });
    // Deleted, but the tables may not be readable again just now.
    Outcome refreshed = RefreshExperts(m_state.store, ids);
    if (refreshed)
        refreshed = RefreshSelections(m_state.store, selections);
    if (!refreshed)
        m_state.messages().failed(refreshed.failure());
    // The refreshed list from page 1 under the same filter.
    cmdSearch_Click();
}

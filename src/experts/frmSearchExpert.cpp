#include "experts/frmSearchExpert.h"
#include "ui/Guarded.h"

#include "data/PersonalData.h"
#include "lists/PagedList.h"
#include "reports/Reports.h"
#include "ui/CriteriaGrid.h"
#include "ui/Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString kHeading = QStringLiteral(" 序号    姓名     出生时间         工作单位               从事专业            "
                                        "  资格名称          电话号码    操作");
// The criteria grid: four rows of captions and inputs.
CriteriaGridLayout SearchGridLayout()
{
    CriteriaGridLayout l;
    l.rowTops = {930, 1290, 1650, 2025};
    return l;
}

constexpr int kColumnLefts[kSearchResultColumns] = {1170, 1725, 2595, 3675, 5775, 7845, 9750};
constexpr int kFirstOperationLeft = 10935;

ListLayout SearchListLayout()
{
    ListLayout l;
    l.setColumns(QVector<int>(std::begin(kColumnLefts), std::end(kColumnLefts)), kFirstOperationLeft);
    l.firstRowTop = 3780;
    l.rowSpacing = 300;
    l.firstOperationLeft = kFirstOperationLeft;
    l.setPageLinks(6870);
    return l;
}

}   // namespace

frmSearchExpert::frmSearchExpert(AppState &state, ScreenNavigator &nav, QWidget *parent)
    : ChildScreen(state, nav, kForm, parent)
{
    addPathLabel();
    addTitle(QStringLiteral("专家高级检索"));

    CriteriaGrid grid(this, SearchGridLayout());
    // One cell of the grid: its caption, and the red "*" of a partial-match
    // field just left of the caption.
    auto caption = [&grid](int captionIndex, const QString &text, int row, int column, int starIndex = -1) {
        grid.caption(captionIndex, text, row, column);
        if (starIndex >= 0)
            grid.star(starIndex, row, column);
    };
    auto textBox = [this, &grid](int index, int row, int column) {
        QLineEdit *box = grid.textBox(index, row, column);
        while (txtDis.size() <= index)
            txtDis.append(nullptr);
        txtDis[index] = box;
        return box;
    };
    auto list = [&grid](const QString &name, const QStringList &items, int row, int column) {
        return grid.list(name, items, row, column);
    };

    caption(0, QStringLiteral("专家姓名："), 0, 0, 11);
    textBox(0, 0, 0);
    caption(4, QStringLiteral("性    别："), 0, 1);
    com_Sex = list(QStringLiteral("com_Sex"), WithAllItem(SexItems()), 0, 1);
    caption(1, QStringLiteral("专家状态："), 0, 2);
    com_Sta = list(QStringLiteral("com_Sta"), WithAllItem(StatusItems()), 0, 2);
    caption(2, QStringLiteral("专家性质："), 0, 3);
    com_Lin = list(QStringLiteral("com_Lin"), WithAllItem(KindItems()), 0, 3);

    caption(8, QStringLiteral("学    历："), 1, 0);
    com_Degree = list(QStringLiteral("com_Degree"), {}, 1, 0);
    caption(16, QStringLiteral("职称类别："), 1, 1, 15);
    textBox(1, 1, 1);
    caption(14, QStringLiteral("职称级别："), 1, 2);
    com_Zhicheng = list(QStringLiteral("com_Zhicheng"), {}, 1, 2);
    caption(3, QStringLiteral("专家星级："), 1, 3);
    com_Star = list(QStringLiteral("com_Star"), QStringList{kAllStarGrades} + StarGrades(), 1, 3);
    SetTextColor(com_Star, kWarningRed);

    caption(7, QStringLiteral("城    市："), 2, 0, 12);
    textBox(2, 2, 0);
    caption(17, QStringLiteral("工作单位："), 2, 1, 19);
    textBox(3, 2, 1);
    caption(6, QStringLiteral("从事专业："), 2, 2, 21);
    textBox(4, 2, 2);
    caption(18, QStringLiteral("参评专业："), 2, 3, 22);
    textBox(5, 2, 3);

    caption(5, QStringLiteral("资格名称："), 3, 0, 13);
    textBox(6, 3, 0);
    caption(9, QStringLiteral("取资时间："), 3, 1);
    textBox(7, 3, 1);

    grid.note(10, 23, 2475);

    cmdSearch = addButton(QStringLiteral("cmdSearch"), QStringLiteral("检 索"), 4740, 2925, 1095, 375);
    cmd_Clear = addButton(QStringLiteral("cmd_Clear"), QStringLiteral("清 空"), 6450, 2925, 1095, 375);

    Label1 = addHeading(kHeading, 1125, 3480, 10545);

    m_list = new PagedList(this, state.paging, SearchListLayout());

    cmdPreview = addButton(QStringLiteral("cmdPreview"), QStringLiteral("打印预览"), 4725, 7200, 1335, 375);
    cmdExcel = addButton(QStringLiteral("cmdExcel"), QStringLiteral("导出Excel"), 6600, 7200, 1335, 375);

    connect(cmdSearch, &QPushButton::clicked, this, Guarded(this, &frmSearchExpert::cmdSearch_Click));
    connect(cmd_Clear, &QPushButton::clicked, this, Guarded(this, &frmSearchExpert::cmd_Clear_Click));
    connect(cmdPreview, &QPushButton::clicked, this, Guarded([this] {
                PreviewReport(ReportContextOf(m_state), this, ReportKind::Search, m_state.SearchResultRows,
                              reportHeader(), reportControls());
            }));
    connect(cmdExcel, &QPushButton::clicked, this, Guarded([this] {
                ExportReport(ReportContextOf(m_state), this, ReportKind::Search, m_state.SearchResultRows,
                             reportHeader(), reportControls());
            }));
    connect(m_list, &PagedList::firstOperationClicked, this, Guarded(this, &frmSearchExpert::labOP_1_Click));
    // Paging on a shared library shows what colleagues changed meanwhile,
    // under the criteria of the search on show.
    m_list->setRefresh([this] {
        bool changed = false;
        if (!refreshSharedTables(&changed) || !changed)
            return false;
        sExpert_MsgDetTemp(m_state.store, m_criteria, m_state.SearchResultRows);
        maskPersonalData();
        return true;
    });
    // Title level and star grade always stand at the same position.
    connect(com_Zhicheng, &QComboBox::currentIndexChanged, this, Guarded([this] { couple(com_Zhicheng, com_Star); }));
    connect(com_Star, &QComboBox::currentIndexChanged, this, Guarded([this] { couple(com_Star, com_Zhicheng); }));

    m_criteria.fill(kNoRecord);
}

void frmSearchExpert::onLoad()
{
    // Every reference row is listed, row 0 included, so that position p of
    // a list is row p of its table.
    com_Degree->clear();
    for (qsizetype r = 0; r < m_state.store.DegreeTable.count(); ++r)
        com_Degree->addItem(m_state.store.DegreeTable.cell(r, 1).toString());
    com_Zhicheng->clear();
    for (qsizetype r = 0; r < m_state.store.TitleTypeTable.count(); ++r)
        com_Zhicheng->addItem(m_state.store.TitleTypeTable.cell(r, 1).toString());
    for (QComboBox *c : {com_Sex, com_Sta, com_Lin, com_Degree, com_Zhicheng, com_Star})
        c->setCurrentIndex(0);
}

void frmSearchExpert::onActivate(const ScreenArgs &args)
{
    // Back from the detail view: criteria, inputs, results and page stay.
    if (args.returning)
        return;
    m_criteria.fill(kNoRecord);
    cmd_Clear_Click();
    sExpert_MsgDetTemp(m_state.store, m_criteria, m_state.SearchResultRows);
    maskPersonalData();
    showList();
}

void frmSearchExpert::maskPersonalData()
{
    // The phone column of the result rows (the last of the seven), which the
    // list, its printout and its export all show.
    constexpr PersonalColumns kSearchRowColumns{kSearchResultColumns - 1, -1};
    maskPersonalRows(m_state.SearchResultRows, kSearchRowColumns);
}

void frmSearchExpert::cmdSearch_Click()
{
    // A search on a shared library finds what colleagues added meanwhile.
    if (!refreshSharedTables())
        return;
    m_criteria.fill(QString());
    auto choice = [](const QComboBox *c) { return c->currentIndex() > 0 ? c->currentText() : QString(); };
    auto code = [](const QComboBox *c) { return c->currentIndex() > 0 ? ReferenceCode(c->currentIndex()) : QString(); };
    m_criteria[0] = txtDis[0]->text().trimmed();
    m_criteria[1] = choice(com_Sex);
    m_criteria[2] = choice(com_Sta);
    m_criteria[3] = choice(com_Lin);
    m_criteria[4] = code(com_Degree);
    m_criteria[5] = txtDis[1]->text().trimmed();
    m_criteria[6] = code(com_Zhicheng);
    for (int i = 7; i <= 12; ++i)
        m_criteria[i] = txtDis[i - 5]->text().trimmed();
    sExpert_MsgDetTemp(m_state.store, m_criteria, m_state.SearchResultRows);
    maskPersonalData();
    showList();
}

void frmSearchExpert::cmd_Clear_Click()
{
    // Only the inputs: the criteria and the result list stay as they are.
    for (QLineEdit *box : txtDis)
        box->clear();
    for (QComboBox *c : {com_Sta, com_Lin, com_Star, com_Sex, com_Degree, com_Zhicheng})
        c->setCurrentIndex(0);
}

QList<QWidget *> frmSearchExpert::reportControls() const { return {cmdSearch, cmd_Clear, cmdPreview, cmdExcel}; }

QVector<ReportHeaderCell> frmSearchExpert::reportHeader() const
{
    // Typed criteria come from the last search; the choice lists print what
    // they show now.
    return SearchHeaderCells(QStringList(m_criteria.begin(), m_criteria.end()),
                             {com_Sex->currentText(), com_Sta->currentText(), com_Lin->currentText(),
                              com_Degree->currentText(), com_Zhicheng->currentText(), com_Star->currentText()});
}

void frmSearchExpert::showList()
{
    ListCall call;
    call.columnsUsed = kSearchResultColumns;
    call.list = &m_state.SearchResultRows;
    call.firstOperation = QStringLiteral("[查看]");
    m_list->show(call);
}

void frmSearchExpert::couple(QComboBox *clicked, QComboBox *other)
{
    const int position = clicked->currentIndex();
    // A title table longer than the star list has no star grade to pair
    // with its extra levels: the other list then stays where it is.
    if (position < 0 || position == other->currentIndex() || position >= other->count())
        return;
    other->setCurrentIndex(position);
}

void frmSearchExpert::labOP_1_Click(int slot)
{
    const qsizetype position = m_list->selectSlot(slot);
    if (position < 0)
        return;
    m_nav.openScreen(ScreenId::ExpertSearchView, {.expertId = m_state.SearchResultRows.cell(position, 0).toString()});
}

#include "extraction/frmProList.h"
#include "data/DrawStore.h"
#include "extraction/ProjectDraws.h"

#include "data/Projects.h"
#include "data/Vocabulary.h"
#include "lists/PagedList.h"
#include "ui/CriteriaGrid.h"
#include "ui/Guarded.h"
#include "ui/Twips.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString kHeading = QStringLiteral(" 序号    抽取时间              项目名称                          项目编号     "
                                        "     轮次  专家数  操作员       操作");

constexpr int kCaptionLeft = 450;
constexpr int kFieldLeft = 1410;
constexpr int kSecondCaptionLeft = 3600;
constexpr int kSecondFieldLeft = 4560;
constexpr int kFieldWidth = 1695;
constexpr int kRow1Top = 900;
constexpr int kRow2Top = 1320;
constexpr int kNoteTop = 1800;
constexpr int kHeadingTop = 2220;
constexpr int kFirstRowTop = 2520;
constexpr int kPageLinksTop = 5640;

// A typed date bound: empty, or a real day written YYYY-MM-DD.
bool IsDateBound(const QString &text) { return text.isEmpty() || QDate::fromString(text, kStoredDateFormat).isValid(); }

}   // namespace

frmProList::frmProList(AppState &state, ScreenNavigator &nav, QWidget *parent) : ChildScreen(state, nav, kForm, parent)
{
    addPathLabel();
    addTitle(QStringLiteral("项目列表"));

    addLabel(ArrayName(QStringLiteral("labDis"), 0), QStringLiteral("开始日期："), kCaptionLeft, kRow1Top + 60);
    txtFrom = addTextBox(QStringLiteral("txtFrom"), kFieldLeft, kRow1Top, kFieldWidth);
    addLabel(ArrayName(QStringLiteral("labDis"), 1), QStringLiteral("结束日期："), kSecondCaptionLeft, kRow1Top + 60);
    txtTo = addTextBox(QStringLiteral("txtTo"), kSecondFieldLeft, kRow1Top, kFieldWidth);
    txtFrom->setPlaceholderText(QStringLiteral("YYYY-MM-DD"));
    txtTo->setPlaceholderText(QStringLiteral("YYYY-MM-DD"));

    MakeStar(this, ArrayName(QStringLiteral("labDis"), 12), kCaptionLeft - 120, kRow2Top + 60);
    addLabel(ArrayName(QStringLiteral("labDis"), 2), QStringLiteral("项目名称："), kCaptionLeft, kRow2Top + 60);
    txtName = addTextBox(ArrayName(QStringLiteral("txtDis"), 0), kFieldLeft, kRow2Top,
                         kSecondFieldLeft + kFieldWidth - kFieldLeft);

    cmdSearch = addButton(QStringLiteral("cmdSearch"), QStringLiteral("检 索"), 6900, kRow2Top - 60, 1095, 435);
    cmd_Clear = addButton(QStringLiteral("cmd_Clear"), QStringLiteral("清 空"), 8280, kRow2Top - 60, 1095, 435);
    cmdUnsaved = addButton(QStringLiteral("cmdUnsaved"), QStringLiteral("未保存轮次"), 9660, kRow2Top - 60, 1395, 435);

    QLabel *note = addLabel(ArrayName(QStringLiteral("labDis"), 11),
                            QStringLiteral("（ 号项目为可进行模糊查询的项目。）"), kCaptionLeft, kNoteTop);
    PlaceNoteStar(note, MakeStar(this, ArrayName(QStringLiteral("labDis"), 3), kCaptionLeft, kNoteTop));

    const QVector<int> words = HeadingWordLefts(addHeading(kHeading, 300, kHeadingTop, 0));
    ListLayout layout;
    // Six cell columns under the titles up to "操作员", the link under "操作".
    layout.setColumns(words.first(7), words.value(7), 60);
    layout.firstRowTop = kFirstRowTop;
    layout.firstOperationLeft = words.value(7);
    layout.setPageLinks(kPageLinksTop);
    m_list = new PagedList(this, m_state.paging, layout);
    connect(m_list, &PagedList::firstOperationClicked, this, Guarded(this, &frmProList::openProject));

    connect(cmdSearch, &QPushButton::clicked, this, Guarded(this, &frmProList::cmdSearch_Click));
    connect(cmd_Clear, &QPushButton::clicked, this, Guarded(this, &frmProList::clearFields));
    connect(txtName, &QLineEdit::returnPressed, this, Guarded(this, &frmProList::cmdSearch_Click));
    connect(cmdUnsaved, &QPushButton::clicked, this, Guarded(this, &frmProList::cmdUnsaved_Click));
}

void frmProList::cmdUnsaved_Click()
{
    const Result<QList<DrawEvent>> events = LoadUnstoredTrail(m_state.store);
    if (!events) {
        m_state.messages().critical(events.message(), kAppTitle, events.detail());
        return;
    }
    m_state.messages().information(UnstoredTrailText(*events, txtFrom->text().trimmed(), txtTo->text().trimmed()));
}

void frmProList::onActivate(const ScreenArgs &)
{
    clearFields();
    m_rows = m_state.store.ProjectTable;
    showList();
    txtName->setFocus();
}

void frmProList::clearFields()
{
    txtFrom->clear();
    txtTo->clear();
    txtName->clear();
}

void frmProList::cmdSearch_Click()
{
    const QString from = txtFrom->text().trimmed();
    const QString to = txtTo->text().trimmed();
    for (QLineEdit *field : {txtFrom, txtTo}) {
        if (!IsDateBound(field->text().trimmed())) {
            m_state.messages().information(QStringLiteral("请按“YYYY-MM-DD”的格式输入日期，例如2026-12-09。"));
            field->setFocus();
            return;
        }
    }
    m_rows = FilterProjects(m_state.store.ProjectTable, from, to, txtName->text().trimmed());
    showList();
}

void frmProList::showList()
{
    ListCall call;
    call.columnsUsed = P_Operator + 1;
    call.list = &m_rows;
    call.firstOperation = QStringLiteral("[查看]");
    m_list->show(call);
}

void frmProList::openProject(int slot)
{
    const qsizetype row = m_list->selectSlot(slot);
    if (row < 0)
        return;
    m_nav.openScreen(ScreenId::ProjectListView, {.projectId = m_rows.cell(row, P_Id).toString()});
}

#include "extraction/frmNewPro.h"
#include "shell/UnsavedDraw.h"

#include "data/AuditLog.h"
#include "data/DrawStore.h"
#include "data/EligibilityRules.h"
#include "shell/Session.h"
#include "data/Tables.h"
#include "data/Projects.h"
#include "extraction/frmProject.h"
#include "lists/PagedList.h"
#include "reports/Reports.h"
#include "ui/Guarded.h"
#include "ui/Twips.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

namespace {

const QString kHeading = QStringLiteral(" 序号    姓名     性别    出生时间         工作单位                 从事专业  "
                                        "              资格名称           电话号码     操作");

constexpr int kHeadingLeft = 300;
constexpr int kHeadingTop = 1080;
constexpr int kFirstRowTop = 1380;
constexpr int kPageLinksTop = 4500;
constexpr int kButtonsTop = 4920;

}   // namespace

frmNewPro::frmNewPro(AppState &state, ScreenNavigator &nav, QWidget *parent) : ChildScreen(state, nav, kForm, parent)
{
    addPathLabel();
    labTitle = addTitle(QStringLiteral("抽取专家结果"));
    labTitleRet = addLabel(QStringLiteral("labTitleRet"), QStringLiteral("抽取结果"), kHeadingLeft, 780);

    Label1 = addHeading(kHeading, kHeadingLeft, kHeadingTop, 0);

    // Eight cell columns under the first eight titles, the link under "操作".
    const QVector<int> words = HeadingWordLefts(Label1);
    ListLayout layout;
    layout.setColumns(words.first(8), words.value(8), 60);
    layout.firstRowTop = kFirstRowTop;
    layout.firstOperationLeft = words.value(8);
    layout.setPageLinks(kPageLinksTop);
    m_list = new PagedList(this, m_state.paging, layout);
    connect(m_list, &PagedList::firstOperationClicked, this, Guarded(this, &frmNewPro::deleteRow));

    cmdSelExpert =
        addButton(QStringLiteral("cmdSelExpert"), QStringLiteral("继续抽取专家"), 2280, kButtonsTop, 1455, 435);
    cmdNewLinExp =
        addButton(QStringLiteral("cmdNewLinExp"), QStringLiteral("新建临时专家"), 3975, kButtonsTop, 1455, 435);
    cmdSave = addButton(QStringLiteral("cmdSave"), QStringLiteral("完成"), 5670, kButtonsTop, 1095, 435);
    cmdPreview = addButton(QStringLiteral("cmdPreview"), QStringLiteral("打印预览"), 7005, kButtonsTop, 1095, 435);
    cmdExcel = addButton(QStringLiteral("cmdExcel"), QStringLiteral("导出Excel"), 8340, kButtonsTop, 1095, 435);

    connect(cmdSelExpert, &QPushButton::clicked, this, Guarded([this] { m_nav.openScreen(ScreenId::Draw); }));
    connect(cmdNewLinExp, &QPushButton::clicked, this,
            Guarded([this] { m_nav.openScreen(ScreenId::DrawResultNewTemporary); }));
    connect(cmdSave, &QPushButton::clicked, this, Guarded(this, &frmNewPro::saveDrawList));
    connect(cmdPreview, &QPushButton::clicked, this, Guarded([this] {
                PreviewReport(ReportContextOf(m_state), this, ReportKind::Selection, m_state.draw.DrawList, {},
                              reportControls());
            }));
    connect(cmdExcel, &QPushButton::clicked, this, Guarded([this] {
                ExportReport(ReportContextOf(m_state), this, ReportKind::Selection, m_state.draw.DrawList, {},
                             reportControls());
            }));
}

void frmNewPro::onActivate(const ScreenArgs &)
{
    cmdSelExpert->setEnabled(true);
    cmdNewLinExp->setEnabled(true);
    // Picks come masked from the draw screen; a temporary expert joins as
    // typed. Storing takes the numbers from the library.
    maskPersonalRows(m_state.draw.DrawList, kDrawRowColumns);
    showList();
    keepDraw();
}

void frmNewPro::keepDraw()
{
    if (const Outcome kept = KeepUnsavedDraw(m_state); !kept)
        m_state.messages().failed(kept.failure());
}

QList<QWidget *> frmNewPro::reportControls() const
{
    return {cmdSelExpert, cmdNewLinExp, cmdSave, cmdPreview, cmdExcel};
}

void frmNewPro::showList()
{
    ListCall call;
    call.columnsUsed = 8;
    call.list = &m_state.draw.DrawList;
    call.firstOperation = QStringLiteral("[删除]");
    m_list->show(call);
}

void frmNewPro::deleteRow(int slot)
{
    if (!m_state.messages().question(QStringLiteral("您确定删除吗？")))
        return;
    const qsizetype position = m_list->selectSlot(slot);
    // A link only shows on a filled slot; a list changed behind the screen's
    // back is shown afresh instead of losing some other row.
    if (position < 0) {
        showList();
        return;
    }
    // The row goes only once its removal is on record.
    DrawEvent removed;
    removed.kind = DrawEventKind::Remove;
    removed.at = m_state.services.clock->now();
    removed.operatorName = CurrentUserName(m_state.session, m_state.store.UserTable);
    removed.expertIds << m_state.draw.DrawList.cell(position, 0).toString();
    const Outcome written = RecordDrawEvent(m_state.store, m_state.draw.Trail(), removed);
    if (!written) {
        m_state.messages().critical(written.message(), kAppTitle, written.detail());
        return;
    }
    m_state.draw.DrawList.removeAt(position);
    showList();
    keepDraw();
}

bool frmNewPro::panelSizeAccepted()
{
    if (!m_state.draw.DrawUnsaved || m_state.draw.DrawList.isEmpty())
        return true;
    const Result<EligibilityRules> rules = ReadEligibilityRules(m_state.store);
    if (!rules) {
        m_state.messages().failed(rules.failure().prefixed(QStringLiteral("无法读取抽取规则，抽取结果没有保存：\n")));
        return false;
    }
    const qsizetype panel = m_state.draw.DrawList.count();
    const QString problem = PanelSizeProblem(rules.value(), panel);
    if (problem.isEmpty())
        return true;
    // A review may have to go on with fewer experts; that is the operator's
    // call, but never an unrecorded one.
    const bool go = m_state.messages().question(
        QStringLiteral("%1\n抽取规则：评审专家不少于%2人且为单数。\n\n是否仍然完成本次抽取？")
            .arg(problem)
            .arg(rules.value().panelSize));
    const Outcome logged = AppendAudit(m_state.store, AuditKind::PanelWarning, m_state.draw.DrawRecord.projectId,
                                       {{"warning", problem},
                                        {"panel_size_rule", rules.value().panelSize},
                                        {"experts", double(panel)},
                                        {"answer", go ? QStringLiteral("是") : QStringLiteral("否")}});
    if (!logged) {
        m_state.messages().failed(logged.failure().prefixed(QStringLiteral("无法写入操作日志，抽取结果没有保存：\n")));
        return false;
    }
    return go;
}

void frmNewPro::saveDrawList()
{
    if (!panelSizeAccepted())
        return;
    const Result<DrawStoreResult> result =
        StoreCurrentDraw(m_state.draw, m_state.store, m_state.session, m_state.services, this);
    if (!result) {
        // Nothing was written: the draw stays unsaved and on screen.
        m_state.messages().failed(result.failure());
        return;
    }
    switch (result.value()) {
    case DrawStoreResult::Cancelled:
    case DrawStoreResult::Empty:
        return;
    case DrawStoreResult::NothingNew:
        // The list on show is stored already: say so rather than store it twice.
        m_state.draw.DrawUnsaved = false;
        keepDraw();
        m_state.messages().information(QStringLiteral("本次抽取结果已保存。"));
        return;
    case DrawStoreResult::Stored:
        break;
    }
    cmdSelExpert->setEnabled(false);
    cmdNewLinExp->setEnabled(false);
    keepDraw();
    m_state.messages().information(QStringLiteral("增加成功。"));
    LoadSelections(m_state.store);
    LoadProjects(m_state.store);
}

#include "extraction/frmExpertProjects.h"

#include "data/ExpertRecord.h"
#include "data/Projects.h"
#include "data/Schema.h"
#include "data/TextWidth.h"
#include "extraction/ProjectDraws.h"
#include "extraction/frmSuspend.h"
#include "lists/PagedList.h"
#include "reports/Reports.h"
#include "shell/Session.h"
#include "ui/Guarded.h"
#include "ui/ScreenStyle.h"
#include "ui/Twips.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace {

const QString kHeading = QStringLiteral(" 序号    抽取时间              项目名称                          项目编号     "
                                        "     抽取方式      出席情况  操作员       操作");
constexpr int kHeadingTop = 1380;
constexpr int kRecordTop = 5100;
constexpr int kButtonsTop = 8100;

}   // namespace

frmExpertProjects::frmExpertProjects(AppState &state, ScreenNavigator &nav, QWidget *parent)
    : ChildScreen(state, nav, kForm, parent)
{
    addPathLabel();
    addTitle(QStringLiteral("专家参与项目"));
    labExpert = addLabel(QStringLiteral("labExpert"), QString(), 300, 960, 6600, 255);
    labSuspension = addLabel(QStringLiteral("labSuspension"), QString(), 6960, 960, 4700, 255);
    SetTextColor(labSuspension, kWarningRed);

    const QVector<int> words = HeadingWordLefts(addHeading(kHeading, 300, kHeadingTop, 0));
    ListLayout layout;
    layout.setColumns(words.first(7), words.value(7), 60);
    layout.firstRowTop = kHeadingTop + 300;
    layout.firstOperationLeft = words.value(7);
    layout.setPageLinks(kHeadingTop + 300 * 11 + 60);
    m_list = new PagedList(this, m_state.paging, layout);
    connect(m_list, &PagedList::firstOperationClicked, this, Guarded(this, &frmExpertProjects::openProject));

    addLabel(QStringLiteral("labRecord"), QStringLiteral("专家记录（参与项目、拒绝、未到场、评价、不良记录、暂停）："),
             300, kRecordTop);
    grdRecord = new QTableWidget(0, 5, this);
    grdRecord->setObjectName(QStringLiteral("grdRecord"));
    grdRecord->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("项目名称"),
                                          QStringLiteral("项目编号"), QStringLiteral("事项"), QStringLiteral("说明")});
    grdRecord->verticalHeader()->hide();
    grdRecord->verticalHeader()->setDefaultSectionSize(Px(300));
    grdRecord->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdRecord->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdRecord->setGeometry(TwRect(300, kRecordTop + 300, 11385, 2580));
    grdRecord->setColumnWidth(0, Px(2100));
    grdRecord->setColumnWidth(1, Px(2900));
    grdRecord->setColumnWidth(2, Px(1300));
    grdRecord->setColumnWidth(3, Px(1000));
    grdRecord->horizontalHeader()->setStretchLastSection(true);

    cmdSuspend = addButton(QStringLiteral("cmdSuspend"), QStringLiteral("暂停抽取"), 1380, kButtonsTop, 1455, 435);
    cmdLift = addButton(QStringLiteral("cmdLift"), QStringLiteral("解除暂停"), 3015, kButtonsTop, 1455, 435);
    cmdExportRecord =
        addButton(QStringLiteral("cmdExportRecord"), QStringLiteral("导出记录"), 4650, kButtonsTop, 1455, 435);
    cmdExportSuspended =
        addButton(QStringLiteral("cmdExportSuspended"), QStringLiteral("导出暂停名单"), 6285, kButtonsTop, 1455, 435);
    cmd_Back = addButton(QStringLiteral("cmd_Back"), QStringLiteral("返 回"), 7920, kButtonsTop, 1095, 435);
    connect(cmdSuspend, &QPushButton::clicked, this, Guarded(this, &frmExpertProjects::cmdSuspend_Click));
    connect(cmdLift, &QPushButton::clicked, this, Guarded(this, &frmExpertProjects::cmdLift_Click));
    connect(cmdExportRecord, &QPushButton::clicked, this, Guarded(this, &frmExpertProjects::cmdExportRecord_Click));
    connect(cmdExportSuspended, &QPushButton::clicked, this,
            Guarded(this, &frmExpertProjects::cmdExportSuspended_Click));
    connect(cmd_Back, &QPushButton::clicked, this, Guarded(this, &frmExpertProjects::back));
}

QString frmExpertProjects::expertName() const
{
    const qsizetype row = FindExpertRow(m_state.store, m_expertId);
    return row >= 0 ? m_state.store.ExpertTable.cell(row, Schema::E_Name).trimmed().toString() : QString();
}

void frmExpertProjects::onActivate(const ScreenArgs &args)
{
    m_expertId = args.expertId;
    const QString &id = m_expertId;
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
    labExpert->setText(QStringLiteral("专家：%1（%2）  共参与%3个项目的抽取")
                           .arg(ShownOnOneLine(expertName()), id)
                           .arg(m_rows.count()));
    ListCall call;
    call.columnsUsed = 7;
    call.list = &m_rows;
    call.firstOperation = QStringLiteral("[查看]");
    m_list->show(call);
    if (!access)
        m_state.messages().failed(access.failure());
    showRecord();
}

void frmExpertProjects::showRecord()
{
    // Suspending is an administrator's decision.
    const bool admin = m_state.session.isAdministrator();
    cmdSuspend->setVisible(admin);
    cmdLift->setVisible(admin);

    const Result<TextTable> record = ExpertCreditRecord(m_state.store, m_expertId);
    const Result<QList<Suspension>> suspensions = ReadSuspensions(m_state.store, m_expertId);
    if (!record || !suspensions) {
        m_record.clear();
        grdRecord->setRowCount(0);
        m_drawState.clear();
        labSuspension->setText(QStringLiteral("无法读取专家记录。"));
        m_state.messages().failed(!record ? record.failure() : suspensions.failure());
        return;
    }
    m_record = record.value();
    grdRecord->setRowCount(int(m_record.count()));
    for (int r = 0; r < m_record.count(); ++r)
        for (int c = 0; c < 5; ++c)
            grdRecord->setItem(r, c, new QTableWidgetItem(ShownOnOneLine(m_record.cell(r, c).toString())));
    const Suspension *now = SuspensionInForce(suspensions.value(), m_expertId, m_state.today());
    m_drawState = now ? QStringLiteral("暂停抽取（%1）").arg(now->term()) : QStringLiteral("正常");
    labSuspension->setText(now ? QStringLiteral("该专家已暂停抽取（%1）").arg(now->term()) : QString());
    cmdLift->setEnabled(now != nullptr);
}

void frmExpertProjects::cmdSuspend_Click()
{
    if (!m_state.session.isAdministrator())
        return;
    const Result<QList<MisconductRecord>> records = MisconductOf(m_state.store, m_expertId);
    if (!records) {
        m_state.messages().failed(records.failure());
        return;
    }
    if (records.value().isEmpty()) {
        m_state.messages().information(QStringLiteral("该专家没有不良记录，不能暂停抽取。"));
        return;
    }
    frmSuspend dialog(m_state.services, m_expertId, expertName(), records.value(), m_state.today(), this);
    if (!m_state.services.dialogs->run(dialog))
        return;
    const Result<qint64> set = SuspendExpert(m_state.store, dialog.suspension(), m_state.services.clock->now());
    if (!set) {
        m_state.messages().failed(set.failure());
        return;
    }
    showRecord();
}

void frmExpertProjects::cmdLift_Click()
{
    if (!m_state.session.isAdministrator())
        return;
    if (!m_state.messages().question(QStringLiteral("确定解除该专家的暂停抽取吗？")))
        return;
    const Result<bool> lifted = LiftSuspension(m_state.store, m_expertId, m_state.services.clock->now());
    if (!lifted) {
        m_state.messages().failed(lifted.failure());
        return;
    }
    if (!lifted.value())
        m_state.messages().information(QStringLiteral("该专家目前没有暂停抽取。"));
    showRecord();
}

QList<QWidget *> frmExpertProjects::reportControls() const
{
    return {cmdSuspend, cmdLift, cmdExportRecord, cmdExportSuspended, cmd_Back};
}

void frmExpertProjects::cmdExportRecord_Click()
{
    // The report's first column is its key, never printed.
    TextTable list;
    for (qsizetype r = 0; r < m_record.count(); ++r)
        list.append({m_record.cell(r, ER_ProjectId).toString(), m_record.cell(r, ER_When).toString(),
                     m_record.cell(r, ER_Project).toString(), m_record.cell(r, ER_Code).toString(),
                     m_record.cell(r, ER_What).toString(), m_record.cell(r, ER_Detail).toString()});
    const qsizetype row = FindExpertRow(m_state.store, m_expertId);
    const QString company =
        row >= 0 ? m_state.store.ExpertTable.cell(row, Schema::E_Company_name).trimmed().toString() : QString();
    ExportReport(ReportContextOf(m_state), this, ReportKind::ExpertRecord, list,
                 ExpertRecordHeaderCells({expertName(), m_expertId, company, m_drawState}), reportControls());
}

void frmExpertProjects::cmdExportSuspended_Click()
{
    const Result<TextTable> rows = SuspendedExpertRows(m_state.store, m_state.today());
    if (!rows) {
        m_state.messages().failed(rows.failure());
        return;
    }
    TextTable list;
    for (qsizetype r = 0; r < rows.value().count(); ++r)
        list.append(QStringList{rows.value().cell(r, 0).toString()} + rows.value().row(r));
    ExportReport(ReportContextOf(m_state), this, ReportKind::Suspended, list,
                 SuspendedHeaderCells(m_state.today().toString(QStringLiteral("yyyy-MM-dd"))), reportControls());
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

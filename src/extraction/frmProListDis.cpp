#include "extraction/frmProListDis.h"

#include "data/DrawStore.h"
#include "data/AuditLog.h"
#include "data/DrawVerify.h"
#include "data/PersonalData.h"
#include "data/TextWidth.h"
#include "shell/Session.h"
#include "extraction/ProjectDraws.h"
#include "extraction/frmSupervisedDraw.h"
#include "extraction/frmAttendance.h"
#include "extraction/frmConduct.h"
#include "lists/PagedList.h"
#include "reports/Reports.h"
#include "ui/Guarded.h"
#include "ui/Twips.h"

#include <QDir>
#include <QSaveFile>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

const QString kHeading = QStringLiteral(" 序号  姓名      工作单位              从事专业    电话号码     轮次          "
                                        "出席情况  时间                 说明                          操作");

constexpr int kFactsTop = 780;
constexpr int kFactStep = 270;
constexpr int kRoundsTop = 2520;
constexpr int kHeadingTop = 4320;
constexpr int kFirstRowTop = 4620;
constexpr int kPageLinksTop = 7680;
constexpr int kButtonsTop = 8100;

// The screen's list: the rows of ProjectExpertRows without the sex.
TextTable ScreenRows(const ProjectDetail &project)
{
    const TextTable experts = ProjectExpertRows(project);
    TextTable t;
    for (qsizetype r = 0; r < experts.count(); ++r)
        t.appendCells({experts.cell(r, PE_Seq), experts.cell(r, PE_Name), experts.cell(r, PE_Company),
                       experts.cell(r, PE_Profession), experts.cell(r, PE_Mobile), experts.cell(r, PE_Round),
                       experts.cell(r, PE_Attendance), experts.cell(r, PE_Time), experts.cell(r, PE_Note)});
    return t;
}

}   // namespace

frmProListDis::frmProListDis(AppState &state, ScreenNavigator &nav, QWidget *parent)
    : ChildScreen(state, nav, kForm, parent)
{
    addPathLabel();
    addTitle(QStringLiteral("抽取项目详细信息"));

    // Facts in two columns; the remark across both.
    static const char *const captions[9] = {"项目名称：", "项目编号：", "招标人/委托单位：", "评审时间：", "评审地点：",
                                            "监督人：",   "操作员：",   "抽取时间：",        "备注："};
    for (int i = 0; i < 9; ++i) {
        const bool right = i % 2 == 1 && i < 8;
        const int row = i / 2;
        const int left = right ? 6000 : 300;
        QLabel *caption = addLabel(ArrayName(QStringLiteral("labCaption"), i), QString::fromUtf8(captions[i]), left,
                                   kFactsTop + kFactStep * row, 1560, 255);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        labFact[i] = addLabel(ArrayName(QStringLiteral("labFact"), i), QString(), left + 1620,
                              kFactsTop + kFactStep * row, i == 8 ? 9700 : 4000, 255);
    }

    addLabel(QStringLiteral("labRounds"), QStringLiteral("抽取过程："), 300, kRoundsTop - 300);
    txtRounds = new QPlainTextEdit(this);
    txtRounds->setObjectName(QStringLiteral("txtRounds"));
    txtRounds->setReadOnly(true);
    txtRounds->setGeometry(TwRect(300, kRoundsTop, 11385, 1500));

    addLabel(QStringLiteral("labExperts"), QStringLiteral("抽取专家："), 300, kHeadingTop - 300);
    const QVector<int> words = HeadingWordLefts(addHeading(kHeading, 300, kHeadingTop, 0));
    ListLayout layout;
    layout.setColumns(words.first(9), words.value(9), 60);
    layout.firstRowTop = kFirstRowTop;
    layout.firstOperationLeft = words.value(9);
    layout.setPageLinks(kPageLinksTop);
    m_list = new PagedList(this, m_state.paging, layout);
    connect(m_list, &PagedList::firstOperationClicked, this, Guarded(this, &frmProListDis::setAttendance));
    // Attendance is registered by those who may see the panel: on every page
    // of a hidden panel the links are taken away again.
    connect(m_list, &PagedList::pageShown, this, Guarded([this] {
                if (!m_concealed)
                    return;
                for (int i = 0; i < kRowsPerPage; ++i)
                    if (auto *link = findChild<QLabel *>(ArrayName(QStringLiteral("labOP_1"), i)))
                        link->clear();
            }));

    cmdSubstitute = addButton(QStringLiteral("cmdSubstitute"), QStringLiteral("补 抽"), 1500, kButtonsTop, 1095, 435);
    cmdVerify = addButton(QStringLiteral("cmdVerify"), QStringLiteral("验 证"), 2835, kButtonsTop, 1095, 435);
    cmdPreview = addButton(QStringLiteral("cmdPreview"), QStringLiteral("打印抽取记录"), 4170, kButtonsTop, 1455, 435);
    cmdExcel = addButton(QStringLiteral("cmdExcel"), QStringLiteral("导出Excel"), 5865, kButtonsTop, 1095, 435);
    cmd_Back = addButton(QStringLiteral("cmd_Back"), QStringLiteral("返 回"), 7200, kButtonsTop, 1095, 435);
    cmdExportCandidates =
        addButton(QStringLiteral("cmdExportCandidates"), QStringLiteral("导出候选名单"), 8535, kButtonsTop, 1455, 435);

    cmdPublish = addButton(QStringLiteral("cmdPublish"), QStringLiteral("公开抽取结果"), 10155, kButtonsTop, 1455, 435);
    connect(cmdPublish, &QPushButton::clicked, this, Guarded(this, &frmProListDis::cmdPublish_Click));

    cmdConduct = addButton(QStringLiteral("cmdConduct"), QStringLiteral("专家评价"), 300, kButtonsTop, 1095, 435);
    connect(cmdConduct, &QPushButton::clicked, this, Guarded(this, &frmProListDis::cmdConduct_Click));
    connect(cmdSubstitute, &QPushButton::clicked, this, Guarded(this, &frmProListDis::cmdSubstitute_Click));
    connect(cmdVerify, &QPushButton::clicked, this, Guarded(this, &frmProListDis::cmdVerify_Click));
    connect(cmdExportCandidates, &QPushButton::clicked, this, Guarded(this, &frmProListDis::cmdExportCandidates_Click));
    connect(cmdPreview, &QPushButton::clicked, this, Guarded([this] {
                if (m_project && !refusedWhileConcealed())
                    PreviewDrawRecord(ReportContextOf(m_state), this, printedRecord(), reportControls());
            }));
    connect(cmdExcel, &QPushButton::clicked, this, Guarded([this] {
                if (m_project && !refusedWhileConcealed())
                    ExportDrawRecord(ReportContextOf(m_state), this, printedRecord(), reportControls());
            }));
    connect(cmd_Back, &QPushButton::clicked, this, Guarded([this] { m_nav.openScreen(ScreenId::ProjectList); }));
}

DrawRecordContent frmProListDis::printedRecord() const
{
    return DrawRecordOf(*m_project, MasksPersonalData(m_state.store, m_state.session.CurrentUserRole),
                        &m_state.store.TitleTypeTable);
}

QList<QWidget *> frmProListDis::reportControls() const
{
    return {cmdSubstitute, cmdVerify, cmdPreview, cmdExcel, cmd_Back};
}

void frmProListDis::onActivate(const ScreenArgs &args)
{
    m_projectId = args.projectId;
    reload();
}

void frmProListDis::reload()
{
    m_project = LoadProject(m_state.store, m_projectId);
    // Masked where it is loaded: the list, the printed record and its export
    // all show the project as held here. Nothing stores these rows back.
    if (m_project && MasksPersonalData(m_state.store, m_state.session.CurrentUserRole))
        MaskProjectExperts(*m_project);
    // A panel still confidential to this user is held with its experts
    // hidden, so nothing on this screen can show them.
    m_concealed =
        m_project && PanelIsConfidential(m_project->access, CurrentViewer(m_state.session, m_state.store.UserTable),
                                         m_state.services.clock->now());
    if (m_concealed)
        ConcealPanel(*m_project);
    showProject();
}

bool frmProListDis::refusedWhileConcealed()
{
    if (!m_concealed)
        return false;
    // A printed or exported record is the signed record of the draw; one
    // with its experts blanked out is not, and its verification data
    // names the experts by number.
    m_state.messages().information(QStringLiteral("本项目的抽取结果在评审结束前保密，只有抽取该项目的操作员和管理员"
                                                  "可以查看、打印、导出、验证和登记出席。"));
    return true;
}

void frmProListDis::cmdPublish_Click()
{
    if (!m_project || !m_state.session.isAdministrator())
        return;
    if (!PanelStillConfidential(m_project->access, m_state.services.clock->now())) {
        m_state.messages().information(QStringLiteral("本项目的抽取结果已经公开。"));
        return;
    }
    if (!m_state.messages().question(
            QStringLiteral("公开后，所有用户都能看到项目“%1”抽取的专家。确定公开吗？").arg(m_project->facts.name)))
        return;
    const Result<bool> published =
        PublishPanel(m_state.store, m_project->id, CurrentViewer(m_state.session, m_state.store.UserTable),
                     m_state.services.clock->now());
    if (!published) {
        m_state.messages().failed(published.failure());
        return;
    }
    LoadProjects(m_state.store);
    reload();
    m_state.messages().information(QStringLiteral("项目“%1”的抽取结果已公开。").arg(m_project->facts.name));
}

void frmProListDis::showProject()
{
    const bool known = m_project.has_value();
    for (QPushButton *b : {cmdSubstitute, cmdVerify, cmdPreview, cmdExcel, cmdExportCandidates, cmdConduct})
        b->setEnabled(known && !m_concealed);
    cmdPublish->setVisible(m_state.session.isAdministrator());
    cmdPublish->setEnabled(known && PanelStillConfidential(m_project->access, m_state.services.clock->now()));
    if (!known) {
        for (QLabel *l : labFact)
            l->clear();
        txtRounds->clear();
        m_rows.clear();
    } else {
        const DrawRecordContent record = DrawRecordOf(*m_project, false, &m_state.store.TitleTypeTable);
        for (int i = 0; i < 9; ++i)
            labFact[i]->setText(ShownOnOneLine(record.facts.value(i)));
        txtRounds->setPlainText(m_concealed ? ConcealedRoundsText(*m_project)
                                            : ProjectRoundsText(*m_project, &m_state.store.TitleTypeTable));
        m_rows = ScreenRows(*m_project);
    }
    ListCall call;
    call.columnsUsed = 9;
    call.list = &m_rows;
    call.firstOperation = QStringLiteral("[出席]");
    m_list->show(call);
}

void frmProListDis::setAttendance(int slot)
{
    const qsizetype row = m_list->selectSlot(slot);
    if (!m_project || row < 0 || refusedWhileConcealed())
        return;
    const ProjectExpert *expert = m_project->expert(m_rows.cell(row, 0).toInt());
    if (!expert)
        return;
    frmAttendance dialog(m_state.services, *expert, this);
    if (!m_state.services.dialogs->run(dialog))
        return;
    const Result<bool> set =
        SetAttendance(m_state.store, m_project->id, expert->seq, dialog.change(),
                      CurrentUserName(m_state.session, m_state.store.UserTable), m_state.services.clock->now());
    if (!set) {
        m_state.messages().failed(set.failure());
        return;
    }
    const qsizetype page = m_state.paging.CurrentPage;
    reload();
    // Stay on the page of the expert just changed.
    while (m_state.paging.CurrentPage < page && m_state.paging.NextLinkOn)
        m_list->nextPage();
}

void frmProListDis::cmdConduct_Click()
{
    if (!m_project || refusedWhileConcealed())
        return;
    if (AttendingExperts(*m_project).isEmpty()) {
        m_state.messages().information(QStringLiteral("没有出席情况为“已确认”的专家，无法评价。"));
        return;
    }
    const Result<QList<ConductEntry>> recorded = ReadConduct(m_state.store, m_project->id);
    if (!recorded) {
        m_state.messages().failed(recorded.failure());
        return;
    }
    frmConduct dialog(m_state.services, *m_project, recorded.value(), this);
    if (!m_state.services.dialogs->run(dialog))
        return;
    const Outcome written = WriteConduct(m_state.store, m_project->id, dialog.entries(), m_state.services.clock->now());
    if (!written) {
        m_state.messages().failed(written.failure());
        return;
    }
    m_state.messages().information(QStringLiteral("专家评价已保存。"));
}

void frmProListDis::cmdSubstitute_Click()
{
    if (!m_project || refusedWhileConcealed())
        return;
    const QList<int> awaiting = AwaitingSubstitute(*m_project);
    if (awaiting.isEmpty()) {
        m_state.messages().information(
            QStringLiteral("没有需要补抽的专家（只为已拒绝或未到场且尚未补抽的专家补抽）。"));
        return;
    }
    QStringList names;
    for (int seq : awaiting)
        names << QStringLiteral("第%1位%2").arg(seq).arg(m_project->expert(seq)->name().trimmed());
    if (!m_state.messages().question(
            QStringLiteral("将按原抽取条件和回避条件为以下已拒绝或未到场的专家各补抽一位专家：\n%1\n确定补抽吗？")
                .arg(names.join(QStringLiteral("、")))))
        return;

    QList<int> unfilled;
    // A declined expert of a supervised round is replaced from its reserve;
    // any other substitute round is itself supervised when the library says so.
    SuperviseDraw supervise;
    if (SupervisedDrawOn(m_state))
        supervise = [this](const DrawRound &round, qsizetype requested) -> std::optional<SupervisedSeed> {
            frmSupervisedDraw dialog(m_state, round.candidateIds, requested, this);
            if (!m_state.services.dialogs->run(dialog))
                return std::nullopt;
            return dialog.seed();
        };
    QList<SubstituteRound> rounds = DrawSubstitutes(m_state.store, *m_project, *m_state.services.random,
                                                    m_state.services.clock->now(), &unfilled, supervise);
    if (!rounds.isEmpty()) {
        // The substitute draws are on record before they are stored.
        DrawSession trail;
        for (const SubstituteRound &s : rounds) {
            DrawEvent drawn;
            drawn.kind = DrawEventKind::Draw;
            drawn.at = s.round.drawnAt;
            drawn.operatorName = CurrentUserName(m_state.session, m_state.store.UserTable);
            drawn.projectId = m_project->id;
            drawn.round = s.round;
            const Outcome written = RecordDrawEvent(m_state.store, trail, drawn);
            if (!written) {
                m_state.messages().critical(written.message(), kAppTitle, written.detail());
                return;
            }
        }
        if (const Outcome stored = StoreSubstituteRounds(m_state.store, m_project->id, rounds); !stored) {
            m_state.messages().failed(stored.failure());
            return;
        }
        LoadSelections(m_state.store);
        LoadProjects(m_state.store);
    }
    reload();

    QStringList lines;
    for (const SubstituteRound &s : rounds)
        for (const SubstitutePick &p : s.picks)
            lines << QStringLiteral("第%1位%2由%3（%4）替换")
                         .arg(p.replacesSeq)
                         .arg(m_project->expert(p.replacesSeq)->name().trimmed(), p.row.value(1).trimmed(),
                              p.row.value(0));
    QStringList missing;
    for (int seq : unfilled)
        missing << QStringLiteral("第%1位%2").arg(seq).arg(m_project->expert(seq)->name().trimmed());
    if (lines.isEmpty()) {
        m_state.messages().critical(QStringLiteral("没有符合条件的专家可以补抽。"));
        return;
    }
    QString text = QStringLiteral("补抽完成：\n") + lines.join(QLatin1Char('\n'));
    if (!missing.isEmpty())
        text += QStringLiteral("\n以下专家没有可补抽的专家：") + missing.join(QStringLiteral("、"));
    m_state.messages().information(text);
}

void frmProListDis::cmdVerify_Click()
{
    if (!m_project || refusedWhileConcealed())
        return;
    const Result<ProjectVerification> verified = VerifyProject(m_state.store, m_project->id);
    if (!verified) {
        m_state.messages().failed(verified.failure());
        return;
    }
    const ProjectVerification &result = verified.value();
    if (result.ok())
        m_state.messages().information(QStringLiteral("验证通过：每一轮随机抽取都能由记录的随机种子和候选名单重现，"
                                                      "候选名单、抽取结果、抽取记录和专家信息均与记录一致。\n") +
                                       result.line());
    else
        m_state.messages().critical(QStringLiteral("验证未通过：\n") + result.problems.join(QLatin1Char('\n')));
}

void frmProListDis::cmdExportCandidates_Click()
{
    if (!m_project || m_project->rounds.isEmpty() || refusedWhileConcealed())
        return;
    const QString start =
        QDir(m_state.services.desktop->desktopPath()).filePath(QStringLiteral("候选名单_%1.csv").arg(m_project->id));
    const QString path = m_state.services.files->getSaveFileName(this, QStringLiteral("另存为"), start,
                                                                 QStringLiteral("CSV Files (*.csv)"));
    if (path.isEmpty())
        return;
    QStringList sections;
    for (const DrawRound &r : m_project->rounds)
        sections << CandidateListCsv(m_project->id, r);
    // Written whole or not at all: a file cut short would not re-derive.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(sections.join(QLatin1Char('\n')).toUtf8()) < 0 ||
        !file.commit()) {
        m_state.messages().critical(QStringLiteral("无法写入文件“%1”。").arg(path), kAppTitle, file.errorString());
        return;
    }
    // The file stays written when the log fails; the user is told both.
    const Outcome logged =
        AppendAudit(m_state.store, AuditKind::Export,
                    QStringLiteral("候选名单：%1（项目%2）").arg(m_project->facts.name, m_project->id),
                    {{QStringLiteral("report"), QStringLiteral("候选名单")},
                     {QStringLiteral("path"), QDir::toNativeSeparators(path)}});
    if (!logged) {
        m_state.messages().critical(
            QStringLiteral("候选名单已导出到“%1”，但没有记入操作日志：\n%2").arg(path, logged.message()), kAppTitle,
            logged.detail());
        return;
    }
    m_state.messages().information(QStringLiteral("候选名单已导出到“%1”。").arg(path));
}

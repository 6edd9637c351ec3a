#include "extraction/frmNewProSelExpert.h"
#include "ui/Guarded.h"

#include "extraction/ProjectDraws.h"
#include "extraction/frmAvoid.h"
#include "extraction/frmSupervisedDraw.h"
#include "data/DrawStore.h"
#include "shell/Session.h"
#include "lists/PagedList.h"
#include "ui/CriteriaGrid.h"
#include "ui/Twips.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

namespace {

const QString kManualCaption = QStringLiteral("开始抽取");
const QString kRollStartCaption = QStringLiteral("开 始");
const QString kRollStopCaption = QStringLiteral("结 束");
const QString kNoCandidates = QStringLiteral("没有符合检索条件的专家。");
const QString kNothingTicked = QStringLiteral("请您至少选择一条记录！");
constexpr int kRollIntervalMs = 50;

// Criteria grid: three rows of right-aligned captions and inputs.
CriteriaGridLayout DrawGridLayout()
{
    CriteriaGridLayout l;
    l.rowTops = {930, 1290, 1650};
    l.captionWidth = 975;
    l.starGap = 45;
    l.starWidth = 120;
    l.cellHeight = 255;
    return l;
}

const QString kHeading = QStringLiteral(" 序号    姓名     性别    出生时间         工作单位                从事专业   "
                                        "           资格名称           电话号码");
constexpr int kHeadingLeft = 1125;

// The grid's columns stand under the words of the heading, wherever the
// heading's font puts them; each column reaches to the next one.
ListLayout CandidateLayout(const QLabel *heading)
{
    ListLayout l;
    const QVector<int> words = HeadingWordLefts(heading);
    l.setColumns(words, words.last() + 1530);
    l.firstRowTop = 2760;
    l.rowSpacing = 300;
    l.rowHeight = 255;
    l.checkLeft = 840;
    l.checkAllLeft = 840;
    l.checkAllTop = 5820;
    l.labelAllLeft = 1110;
    l.labelAllTop = 5835;
    l.setPageLinks(5835);
    return l;
}

}   // namespace

frmNewProSelExpert::frmNewProSelExpert(AppState &state, ScreenNavigator &nav, QWidget *parent)
    : ChildScreen(state, nav, kForm, parent)
{
    addPathLabel();
    labTitle = addTitle(QStringLiteral("抽取专家"));
    labWhere = addLabel(QStringLiteral("labWhere"), QStringLiteral("检索条件："), 300, 600);

    // Captions 0..10 with their grid cells (row, column).
    struct Caption {
        int index;
        const char *text;
        int row, column;
    };
    static const Caption captions[] = {
        {0, "专家姓名：", 0, 0}, {5, "专家性质：", 0, 1}, {1, "职称类别：", 0, 2}, {4, "职称级别：", 0, 3},
        {2, "参评专业：", 1, 0}, {3, "从事专业：", 1, 1}, {6, "资格名称：", 1, 2}, {10, "工作单位：", 1, 3},
        {7, "抽取类型：", 2, 0}, {8, "抽取个数：", 2, 1}, {9, "专家编号：", 2, 1},
    };
    CriteriaGrid grid(this, DrawGridLayout());
    for (const Caption &c : captions)
        labDis[c.index] = grid.caption(c.index, QString::fromUtf8(c.text), c.row, c.column);

    // Text criteria 0..5 and the grid cell of each.
    static const int textCells[6][2] = {{0, 0}, {0, 2}, {1, 0}, {1, 1}, {1, 2}, {1, 3}};
    for (int i = 0; i < 6; ++i)
        txtDis[i] = grid.textBox(i, textCells[i][0], textCells[i][1]);

    com_Lin = grid.list(QStringLiteral("com_Lin"), WithAllItem(KindItems()), 0, 1);
    com_Zhicheng = grid.list(QStringLiteral("com_Zhicheng"), {}, 0, 3);
    com_Type = grid.list(QStringLiteral("com_Type"),
                         {QStringLiteral("手工抽取"), QStringLiteral("随机抽取"), QStringLiteral("滚动按停")}, 2, 0);

    txtNum = grid.textBox(QStringLiteral("txtNum"), 2, 1);
    txtNum->installEventFilter(this);
    // Typed characters are filtered key by key; an input method would bypass that.
    txtNum->setAttribute(Qt::WA_InputMethodEnabled, false);

    labExpertID = addLabel(QStringLiteral("labExpertID"), QString(), grid.inputLeft(1), grid.rowTop(2) - 30,
                           CriteriaGridLayout::kInputWidth, 345);
    QFont big = labExpertID->font();
    big.setBold(true);
    big.setPointSizeF(14.25);
    labExpertID->setFont(big);
    SetTextColor(labExpertID, kWarningRed);

    // The red markers of the six text criteria, just left of their captions.
    static const int starCells[6][2] = {{0, 0}, {0, 2}, {1, 0}, {1, 1}, {1, 2}, {1, 3}};
    for (int i = 0; i < 6; ++i)
        labDis[12 + i] = grid.star(12 + i, starCells[i][0], starCells[i][1]);
    const CriteriaGrid::Note note = grid.note(11, 18, 2085);
    labDis[11] = note.text;
    labDis[18] = note.star;

    tmeSelExp = new QTimer(this);
    tmeSelExp->setObjectName(QStringLiteral("tmeSelExp"));
    tmeSelExp->setInterval(kRollIntervalMs);
    connect(tmeSelExp, &QTimer::timeout, this, Guarded(this, &frmNewProSelExpert::tmeSelExp_Timer));

    cmdSearch = addButton(QStringLiteral("cmdSearch"), kManualCaption, 7200, 1620, 1095, 375);
    cmd_Clear = addButton(QStringLiteral("cmd_Clear"), QStringLiteral("清 空"), 8700, 1620, 1095, 375);
    // Right of the two buttons, where the criteria grid leaves room.
    cmdAvoid = addButton(QStringLiteral("cmdAvoid"), QStringLiteral("回避设置"), 10200, 1620, 1095, 375);

    // Under 确定 and 返回, where the screen is free: what the library's
    // eligibility rules kept out of the last candidates (empty while the
    // library sets no rule).
    labRules = addLabel(QStringLiteral("labRules"), QString(), 1080, 6780, 10620, 480);
    labRules->setWordWrap(true);
    SetTextColor(labRules, kWarningRed);

    Label1 = addHeading(kHeading, kHeadingLeft, 2460, 11700, 255);

    const ListLayout layout = CandidateLayout(Label1);
    Label1->setFixedWidth(Px(layout.columnLefts.last() + layout.columnWidths.last() - kHeadingLeft));
    m_list = new PagedList(this, m_state.paging, layout);

    cmd_OK = addButton(QStringLiteral("cmd_OK"), QStringLiteral("确 定"), 4320, 6240, 1095, 435);
    cmd_Back = addButton(QStringLiteral("cmd_Back"), QStringLiteral("返 回"), 6000, 6240, 1095, 435);

    connect(com_Type, &QComboBox::currentIndexChanged, this, Guarded(this, &frmNewProSelExpert::com_Type_Click));
    // Choosing the item already shown is a choice too: choosing "随机抽取"
    // again empties the count, "滚动按停" the number on show.
    connect(com_Type, &QComboBox::activated, this, Guarded(this, &frmNewProSelExpert::com_Type_Click));
    connect(cmdSearch, &QPushButton::clicked, this, Guarded(this, &frmNewProSelExpert::cmdSearch_Click));
    connect(cmd_Clear, &QPushButton::clicked, this, Guarded(this, &frmNewProSelExpert::cmd_Clear_Click));
    connect(cmd_OK, &QPushButton::clicked, this, Guarded(this, &frmNewProSelExpert::cmd_OK_Click));
    connect(cmd_Back, &QPushButton::clicked, this, Guarded(this, &frmNewProSelExpert::cmd_Back_Click));
    connect(cmdAvoid, &QPushButton::clicked, this, Guarded(this, &frmNewProSelExpert::cmdAvoid_Click));

    labExpertID->clear();
    com_Type_Click(0);
}

void frmNewProSelExpert::onLoad()
{
    for (qsizetype r = 0; r < m_state.store.TitleTypeTable.count(); ++r)
        com_Zhicheng->addItem(m_state.store.TitleTypeTable.cell(r, 1).toString());
}

void frmNewProSelExpert::onActivate(const ScreenArgs &)
{
    txtDis[0]->setFocus();
    endRoll();
    {
        const QSignalBlocker block(com_Type);
        com_Type->setCurrentIndex(0);
    }
    com_Type_Click(0);

    m_criteria = NoRecordCriteria();
    cmd_Clear_Click();
    FilterCandidates(m_state.store.ExpertTable, m_criteria, m_state.draw.CandidateList);
    m_round.reset();
    showRules();
    showCandidates();
    showAvoidance();
}

bool frmNewProSelExpert::eventFilter(QObject *watched, QEvent *event)
{
    // The count box takes digits and Backspace. Keys that type nothing
    // (arrows, Delete) and control keys keep their usual editing role.
    if (watched == txtNum && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        if (key->key() == Qt::Key_Backspace || text.isEmpty())
            return false;
        const bool control = key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
        if (control)
            return false;
        for (QChar c : text) {
            if (c.isPrint() && (c < QLatin1Char('0') || c > QLatin1Char('9')))
                return true;
        }
        return false;
    }
    return ChildScreen::eventFilter(watched, event);
}

void frmNewProSelExpert::com_Type_Click(int index)
{
    m_type = index == 1 ? DrawType::Random : index == 2 ? DrawType::Rolling : DrawType::Manual;
    const bool random = m_type == DrawType::Random;
    const bool rolling = m_type == DrawType::Rolling;
    labDis[8]->setVisible(random);
    txtNum->setVisible(random);
    labDis[9]->setVisible(rolling);
    labExpertID->setVisible(rolling);
    cmdSearch->setText(rolling ? kRollStartCaption : kManualCaption);
    if (random)
        txtNum->clear();
    if (rolling)
        labExpertID->clear();
}

void frmNewProSelExpert::cmdSearch_Click()
{
    // On a server colleagues may have changed the library since the screen
    // came up: a draw is made from the experts as they are now.
    // A server out of reach leaves the screen as it was.
    if (!m_rolling && !refreshSharedTables())
        return;
    qsizetype n = 0;
    if (m_type == DrawType::Random) {
        const DrawCount count = CheckDrawCount(txtNum->text(), m_state.store.ExpertTable.count());
        if (count.status != DrawCount::Ok) {
            const QString text = DrawCountMessage(count.status);
            if (DrawCountIsCritical(count.status))
                m_state.messages().critical(text);
            else
                m_state.messages().information(text);
            txtNum->setFocus();
            return;
        }
        n = count.n;
    }

    gatherCriteria();
    switch (m_type) {
    case DrawType::Manual:
        manualDraw();
        break;
    case DrawType::Random:
        randomDraw(n);
        break;
    case DrawType::Rolling:
        if (m_rolling)
            stopRoll();
        else
            startRoll();
        break;
    }
}

void frmNewProSelExpert::gatherCriteria()
{
    m_criteria.fill(QString());
    m_criteria[0] = txtDis[0]->text().trimmed();
    if (com_Lin->currentIndex() > 0)
        m_criteria[1] = com_Lin->currentText();
    m_criteria[2] = txtDis[1]->text().trimmed();
    m_criteria[3] = txtDis[2]->text().trimmed();
    m_criteria[4] = txtDis[3]->text().trimmed();
    if (com_Zhicheng->currentIndex() > 0)
        m_criteria[5] = ReferenceCode(com_Zhicheng->currentIndex());
    m_criteria[6] = txtDis[4]->text().trimmed();
    m_criteria[7] = txtDis[5]->text().trimmed();
}

void frmNewProSelExpert::showCandidates()
{
    ListCall call;
    call.columnsUsed = 8;
    call.list = &m_state.draw.CandidateList;
    call.checkBoxes = true;
    m_list->show(call);
}

bool frmNewProSelExpert::buildCandidates(const QString &roundType)
{
    const Result<KeptOut> keptOut =
        BuildCandidates(m_state.store, m_criteria, m_state.draw.Avoidance, m_state.today(), m_state.draw.CandidateList);
    if (!keptOut) {
        // No round without the library's rules: an empty list is shown so
        // that no row of an earlier list can be confirmed.
        m_round.reset();
        showRules();
        showCandidates();
        m_state.messages().failed(keptOut.failure());
        return false;
    }
    m_round = NewRound(roundType, m_criteria, m_state.store.TitleTypeTable, m_state.draw.Avoidance, keptOut.value(),
                       m_state.draw.CandidateList, m_state.services.clock->now());
    // The round keeps only numbers; the rows go on to the draw list, which is
    // stored with the library's own phone numbers.
    maskPersonalRows(m_state.draw.CandidateList, kDrawRowColumns);
    showRules();
    return true;
}

void frmNewProSelExpert::showRules()
{
    const bool active = m_round && EligibilityTookPart(m_round->eligibility, m_round->eligible);
    const QString text =
        active ? QStringLiteral("抽取规则：") +
                     DescribeEligibility(m_round->eligibility, &m_round->eligible, &m_state.store.TitleTypeTable)
               : QString();
    labRules->setText(text);
    labRules->setToolTip(text);
}

bool frmNewProSelExpert::recordEvent(DrawEvent event)
{
    event.operatorName = CurrentUserName(m_state.session, m_state.store.UserTable);
    if (!event.at.isValid())
        event.at = m_state.services.clock->now();
    const Outcome written = RecordDrawEvent(m_state.store, m_state.draw.Trail(), event);
    if (!written) {
        m_state.messages().critical(QStringLiteral("抽取过程无法记入数据库，本次抽取无效。\n") + written.message(),
                                    kAppTitle, written.detail());
        return false;
    }
    return true;
}

bool frmNewProSelExpert::recordDraw(const QString &kind)
{
    DrawEvent e;
    e.kind = kind;
    e.round = m_round;
    if (m_round)
        e.at = m_round->drawnAt;
    if (recordEvent(e))
        return true;
    // A draw that left no trace must not be confirmed.
    m_round.reset();
    m_state.draw.CandidateList.clear();
    showCandidates();
    return false;
}

void frmNewProSelExpert::manualDraw()
{
    if (!buildCandidates(RoundType::Manual) || !recordDraw())
        return;
    showCandidates();
}

void frmNewProSelExpert::randomDraw(qsizetype n)
{
    // Each draw starts from a fresh seed that is kept with the round, so the
    // picks can be drawn again from the stored candidate list later.
    if (!buildCandidates(RoundType::Random))
        return;
    // With every candidate listed there is nothing to choose, supervised or not.
    if (SupervisedDrawOn(m_state) && n < m_state.draw.CandidateList.count()) {
        frmSupervisedDraw dialog(m_state, m_round->candidateIds, n, this);
        if (!m_state.services.dialogs->run(dialog) || !dialog.seed()) {
            // Called off: nothing was drawn, and no earlier list may be
            // confirmed. The commitment made stays on record.
            SupervisedSeed committed;
            committed.commitment = dialog.commitment();
            committed.committedAt = m_round->drawnAt;
            m_round->supervised = committed;
            m_round->requested = n;
            recordDraw(DrawEventKind::CalledOff);
            m_round.reset();
            m_state.draw.CandidateList.clear();
            showCandidates();
            return;
        }
        m_state.draw.CandidateList = SupervisedPick(*m_round, m_state.draw.CandidateList, n, *dialog.seed());
        if (recordDraw())
            showCandidates();
        return;
    }
    m_state.draw.CandidateList = SeededPick(*m_round, m_state.draw.CandidateList, n, *m_state.services.random);
    if (recordDraw())
        showCandidates();
}

void frmNewProSelExpert::startRoll()
{
    if (!buildCandidates(RoundType::Rolling))
        return;
    if (m_state.draw.CandidateList.isEmpty()) {
        // Nothing to roll: no number to show and nothing to pick. The empty
        // list goes on screen so no row of an earlier list can be confirmed.
        labExpertID->clear();
        showCandidates();
        m_state.messages().information(kNoCandidates);
        return;
    }
    cmdSearch->setText(kRollStopCaption);
    setRollingControlsEnabled(false);
    m_rolledSinceStart = false;
    tmeSelExp->start(kRollIntervalMs);
    m_rolling = true;
}

void frmNewProSelExpert::tmeSelExp_Timer()
{
    const qsizetype candidates = m_state.draw.CandidateList.count();
    if (!m_rolling || candidates == 0)
        return;
    m_lastRolledIndex = RandomIndex(candidates, *m_state.services.random);
    m_rolledSinceStart = true;
    labExpertID->setText(m_state.draw.CandidateList.cell(m_lastRolledIndex, 0).toString());
}

void frmNewProSelExpert::stopRoll()
{
    cmdSearch->setText(kRollStartCaption);
    endRoll();

    const qsizetype candidates = m_state.draw.CandidateList.count();
    if (candidates == 0) {
        showCandidates();
        return;
    }
    // Stopped before the first tick: the index kept from an earlier roll
    // belongs to another list, so draw a fresh one from this list.
    if (!m_rolledSinceStart || m_lastRolledIndex >= candidates) {
        m_lastRolledIndex = RandomIndex(candidates, *m_state.services.random);
        labExpertID->setText(m_state.draw.CandidateList.cell(m_lastRolledIndex, 0).toString());
    }
    TextTable drawn;
    drawn.appendRowOf(m_state.draw.CandidateList, m_lastRolledIndex);
    if (m_round) {
        m_round->rolledId = drawn.cell(0, 0).toString();
        // Stopped by hand: the stop time is what there is to record.
        m_round->drawnAt = m_state.services.clock->now();
    }
    m_state.draw.CandidateList = std::move(drawn);
    if (recordDraw())
        showCandidates();
}

void frmNewProSelExpert::endRoll()
{
    tmeSelExp->stop();
    setRollingControlsEnabled(true);
    m_rolling = false;
}

void frmNewProSelExpert::setRollingControlsEnabled(bool enabled)
{
    com_Type->setEnabled(enabled);
    cmd_Clear->setEnabled(enabled);
    cmd_OK->setEnabled(enabled);
    cmd_Back->setEnabled(enabled);
}

void frmNewProSelExpert::cmd_Clear_Click()
{
    for (QLineEdit *box : txtDis)
        box->clear();
    txtNum->clear();
    com_Lin->setCurrentIndex(0);
    com_Zhicheng->setCurrentIndex(0);
}

void frmNewProSelExpert::cmd_OK_Click()
{
    // Only the page on view can be picked: slot j is candidate
    // (CurrentPage - 1) * 10 + j.
    m_picks.clear();
    for (int slot : m_list->checkedSlots()) {
        const qsizetype position = m_list->selectSlot(slot);
        if (position < 0)
            continue;
        m_picks.appendRowOf(m_state.draw.CandidateList, position);
    }
    if (m_picks.isEmpty()) {
        m_state.messages().information(kNothingTicked);
        return;
    }

    // Nothing waits to be stored: this confirmation starts a new extraction.
    if (!m_state.draw.DrawUnsaved)
        m_state.draw.StartNewDraw();
    m_state.draw.DrawUnsaved = true;
    // Each confirmation is one round of the draw: what was drawn, from which
    // candidates, and which rows the user kept.
    if (m_round) {
        DrawRound round = *m_round;
        for (qsizetype p = 0; p < m_picks.count(); ++p)
            round.confirmedIds.append(m_picks.cell(p, 0).toString());
        m_state.draw.DrawRecord.rounds.append(round);
        // What was drawn and left unticked is on record too.
        DrawEvent confirm;
        confirm.kind = DrawEventKind::Confirm;
        confirm.expertIds = round.confirmedIds;
        QStringList drawn;
        for (qsizetype p : round.picks)
            drawn << round.candidateIds.value(p);
        if (!round.rolledId.isEmpty())
            drawn << round.rolledId;
        for (const QString &id : drawn)
            if (!round.confirmedIds.contains(id))
                confirm.notConfirmed << id;
        recordEvent(confirm);
    }
    // The picks are merged and shown whichever screen was opened last: a
    // confirmation that marked the draw unsaved but kept nothing would lose
    // the user's choice.
    MergePicks(m_state.draw.DrawList, m_picks);
    m_nav.openScreen(ScreenId::DrawResult);
}

void frmNewProSelExpert::cmd_Back_Click()
{
    if (!m_state.draw.DrawUnsaved)
        m_state.draw.StartNewDraw();
    m_nav.openScreen(ScreenId::DrawResult);
}

void frmNewProSelExpert::cmdAvoid_Click()
{
    // The dialog counts what each rule takes out of the candidates of the
    // criteria typed now.
    SelectionCriteria typed = m_criteria;
    gatherCriteria();
    TextTable candidates;
    FilterCandidates(m_state.store.ExpertTable, m_criteria, candidates);
    m_criteria = typed;
    frmAvoid dialog(m_state, candidates, this);
    if (m_state.services.dialogs->run(dialog))
        m_state.draw.Avoidance = dialog.rules();
    showAvoidance();
}

void frmNewProSelExpert::showAvoidance()
{
    // Rules in force are easy to forget: the button shows them in bold red.
    const bool active = !m_state.draw.Avoidance.isEmpty();
    QFont f = cmdAvoid->font();
    f.setBold(active);
    cmdAvoid->setFont(f);
    QPalette pal = cmdAvoid->palette();
    pal.setColor(QPalette::ButtonText, active ? QColor(kWarningRed) : palette().color(QPalette::ButtonText));
    cmdAvoid->setPalette(pal);
    cmdAvoid->setToolTip(active ? DescribeAvoidance(m_state.draw.Avoidance) : QString());
}

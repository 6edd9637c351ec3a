#include "extraction/frmAvoid.h"
#include "ui/Guarded.h"

#include "data/Schema.h"
#include "data/Wildcard.h"
#include "ui/ScreenStyle.h"
#include "ui/Twips.h"

#include <QCheckBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// More matches than this are not worth scrolling through: the user types more.
constexpr int kMaxFound = 200;
constexpr int kMaxDays = 36500;
constexpr int kMaxYears = 100;
constexpr int kMaxReason = 200;

}   // namespace

frmAvoid::frmAvoid(AppState &state, const TextTable &candidates, QWidget *parent)
    : QDialog(parent), m_state(state), m_candidates(candidates)
{
    setObjectName(QStringLiteral("frmAvoid"));
    setWindowTitle(QStringLiteral("回避设置"));
    setModal(true);
    setFont(ScreenFont());
    setFixedSize(Px(8400), Px(6300));

    auto label = [this](const char *name, const QString &text, const QRect &r) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(r);
        return l;
    };
    // A caption and its box on one line; the box takes what the caption leaves.
    auto reasonBox = [this, &label](const char *labName, const char *boxName, const QString &caption, int left, int top,
                                    int width) {
        QLabel *l = label(labName, caption, TwRect(left, top + 30, 1380, 255));
        auto *box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(boxName));
        box->setGeometry(TwRect(left + 1380, top, width - 1380, 315));
        box->setMaxLength(kMaxReason);
        box->setAccessibleName(caption);
        l->setBuddy(box);
        return box;
    };
    auto button = [this](const char *name, const QString &text, const QRect &r) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(r);
        b->setAutoDefault(false);
        return b;
    };

    labUnits =
        label("labUnits", QStringLiteral("回避的工作单位（每行一个，可用通配符）："), TwRect(240, 240, 3900, 255));
    txtUnits = new QPlainTextEdit(this);
    txtUnits->setObjectName(QStringLiteral("txtUnits"));
    txtUnits->setGeometry(TwRect(240, 540, 3900, 1200));

    chkFormer = new QCheckBox(QStringLiteral("同时回避"), this);
    chkFormer->setObjectName(QStringLiteral("chkFormer"));
    chkFormer->setGeometry(TwRect(240, 1830, 1140, 285));
    txtFormerYears = new QLineEdit(this);
    txtFormerYears->setObjectName(QStringLiteral("txtFormerYears"));
    txtFormerYears->setGeometry(TwRect(1400, 1800, 420, 315));
    txtFormerYears->setValidator(new QIntValidator(1, kMaxYears, txtFormerYears));
    txtFormerYears->setAccessibleName(QStringLiteral("年内曾在这些单位任职的专家"));
    labFormer = label("labFormer", QStringLiteral("年内曾在这些单位任职的专家"), TwRect(1880, 1830, 2460, 255));
    txtUnitsReason = reasonBox("labUnitsReason", "txtUnitsReason", QStringLiteral("单位回避原因："), 240, 2190, 3900);

    chkRecent = new QCheckBox(QStringLiteral("回避近"), this);
    chkRecent->setObjectName(QStringLiteral("chkRecent"));
    chkRecent->setGeometry(TwRect(240, 2640, 900, 285));
    txtDays = new QLineEdit(this);
    txtDays->setObjectName(QStringLiteral("txtDays"));
    txtDays->setGeometry(TwRect(1140, 2610, 600, 315));
    txtDays->setValidator(new QIntValidator(1, kMaxDays, txtDays));
    labDays = label("labDays", QStringLiteral("天内（含今天）抽取过的专家"), TwRect(1800, 2640, 2400, 255));
    txtRecentReason =
        reasonBox("labRecentReason", "txtRecentReason", QStringLiteral("近期回避原因："), 240, 3030, 3900);

    labExperts = label("labExperts", QStringLiteral("回避的专家（从专家库中选择）："), TwRect(4440, 240, 3495, 255));
    txtExpertName = new QLineEdit(this);
    txtExpertName->setObjectName(QStringLiteral("txtExpertName"));
    txtExpertName->setGeometry(TwRect(4440, 540, 2400, 315));
    cmdFind = button("cmdFind", QStringLiteral("查 找"), TwRect(6960, 525, 975, 345));
    lstLibrary = new QListWidget(this);
    lstLibrary->setObjectName(QStringLiteral("lstLibrary"));
    lstLibrary->setGeometry(TwRect(4440, 960, 3495, 1380));
    lstLibrary->setSelectionMode(QAbstractItemView::ExtendedSelection);
    cmdAdd = button("cmdAdd", QStringLiteral("添 加"), TwRect(4440, 2400, 975, 345));
    cmdRemove = button("cmdRemove", QStringLiteral("移 除"), TwRect(5640, 2400, 975, 345));
    lstAvoid = new QListWidget(this);
    lstAvoid->setObjectName(QStringLiteral("lstAvoid"));
    lstAvoid->setGeometry(TwRect(4440, 2820, 3495, 900));
    lstAvoid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    txtExpertsReason =
        reasonBox("labExpertsReason", "txtExpertsReason", QStringLiteral("专家回避原因："), 4440, 3810, 3495);

    labCounts = label("labCounts", QString(), TwRect(240, 4260, 7695, 1080));
    labCounts->setWordWrap(true);
    labCounts->setTextFormat(Qt::PlainText);
    labCounts->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    cmdOK = button("cmdOK", QStringLiteral("确 定"), TwRect(1800, 5460, 1095, 375));
    cmdClear = button("cmdClear", QStringLiteral("清除回避"), TwRect(3300, 5460, 1095, 375));
    cmdCancel = button("cmdCancel", QStringLiteral("取 消"), TwRect(4800, 5460, 1095, 375));

    connect(cmdFind, &QPushButton::clicked, this, Guarded(this, &frmAvoid::cmdFind_Click));
    connect(txtExpertName, &QLineEdit::returnPressed, this, Guarded(this, &frmAvoid::cmdFind_Click));
    connect(cmdAdd, &QPushButton::clicked, this, Guarded(this, &frmAvoid::cmdAdd_Click));
    connect(lstLibrary, &QListWidget::itemDoubleClicked, this, Guarded(this, &frmAvoid::cmdAdd_Click));
    connect(cmdRemove, &QPushButton::clicked, this, Guarded(this, &frmAvoid::cmdRemove_Click));
    connect(cmdClear, &QPushButton::clicked, this, Guarded(this, &frmAvoid::cmdClear_Click));
    connect(cmdOK, &QPushButton::clicked, this, Guarded(this, &frmAvoid::cmdOK_Click));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded(this, &QDialog::reject));
    connect(txtUnits, &QPlainTextEdit::textChanged, this, Guarded(this, &frmAvoid::showCounts));
    connect(chkRecent, &QCheckBox::toggled, this, Guarded(this, &frmAvoid::showCounts));
    connect(chkRecent, &QCheckBox::toggled, txtDays, Guarded(txtDays, &QWidget::setEnabled));
    connect(txtDays, &QLineEdit::textChanged, this, Guarded(this, &frmAvoid::showCounts));
    connect(chkFormer, &QCheckBox::toggled, this, Guarded(this, &frmAvoid::showCounts));
    connect(chkFormer, &QCheckBox::toggled, txtFormerYears, Guarded(txtFormerYears, &QWidget::setEnabled));
    connect(txtFormerYears, &QLineEdit::textChanged, this, Guarded(this, &frmAvoid::showCounts));

    // The counts shown must be those the draw will find: same aliases, same
    // former units. Without them the unit rule would look weaker than it is.
    const Result<UnitRecords> units = ReadUnitRecords(m_state.store);
    if (units)
        m_units = units.value();
    else
        m_state.messages().failed(units.failure().prefixed(QStringLiteral("无法读取单位别名和曾任职单位：\n")));

    setRules(m_state.draw.Avoidance);
}

void frmAvoid::setRules(const AvoidanceRules &rules)
{
    txtUnits->setPlainText(rules.units.join(QLatin1Char('\n')));
    lstAvoid->clear();
    for (qsizetype i = 0; i < rules.expertIds.size(); ++i)
        addAvoided(rules.expertIds[i], rules.expertNames.value(i));
    chkRecent->setChecked(rules.recentDays > 0);
    txtDays->setEnabled(rules.recentDays > 0);
    txtDays->setText(rules.recentDays > 0 ? QString::number(rules.recentDays) : QString());
    // Until a unit rule says otherwise, former units count for the usual years.
    const bool former = rules.formerYears > 0 || rules.units.isEmpty();
    chkFormer->setChecked(former);
    txtFormerYears->setEnabled(former);
    txtFormerYears->setText(
        QString::number(rules.formerYears > 0 ? rules.formerYears : AvoidanceRules::kDefaultFormerYears));
    txtUnitsReason->setText(rules.unitsReason);
    txtExpertsReason->setText(rules.expertsReason);
    txtRecentReason->setText(rules.recentReason);
    showCounts();
}

AvoidanceRules frmAvoid::rules() const
{
    AvoidanceRules r;
    for (const QString &line : txtUnits->toPlainText().split(QLatin1Char('\n'))) {
        const QString unit = line.trimmed();
        if (!unit.isEmpty() && !r.units.contains(unit))
            r.units << unit;
    }
    for (int i = 0; i < lstAvoid->count(); ++i) {
        const QListWidgetItem *item = lstAvoid->item(i);
        r.expertIds << item->data(Qt::UserRole).toString();
        r.expertNames << item->data(Qt::UserRole + 1).toString();
    }
    if (chkRecent->isChecked())
        r.recentDays = txtDays->text().trimmed().toInt();
    if (chkFormer->isChecked())
        r.formerYears = txtFormerYears->text().trimmed().toInt();
    r.unitsReason = txtUnitsReason->text().trimmed();
    r.expertsReason = txtExpertsReason->text().trimmed();
    r.recentReason = txtRecentReason->text().trimmed();
    return r;
}

void frmAvoid::showCounts()
{
    const AvoidanceRules r = rules();
    const AvoidanceCounts c = CountAvoidance(m_candidates, r, m_state.store.SelectionTable, m_state.today(), &m_units);
    QString text = QStringLiteral("按抽取专家界面上当前的检索条件，候选专家%1人：\n"
                                  "按工作单位回避%2人，指定专家回避%3人，近期抽取过的回避%4人；"
                                  "共回避%5人，剩余%6人。")
                       .arg(m_candidates.count())
                       .arg(c.units)
                       .arg(c.experts)
                       .arg(c.recent)
                       .arg(c.total)
                       .arg(m_candidates.count() - c.total);
    if (c.formerUnits > 0)
        text += QStringLiteral("\n按工作单位回避的人中，%1人是按曾任职单位回避的。").arg(c.formerUnits);
    if (!c.aliases.isEmpty()) {
        QStringList groups;
        for (const QStringList &g : c.aliases)
            groups << g.join(QStringLiteral("="));
        text += QStringLiteral("\n按单位别名一并回避：%1").arg(groups.join(QStringLiteral("；")));
    }
    labCounts->setText(text);
}

void frmAvoid::addAvoided(const QString &id, const QString &name)
{
    for (int i = 0; i < lstAvoid->count(); ++i)
        if (lstAvoid->item(i)->data(Qt::UserRole).toString() == id)
            return;
    auto *item = new QListWidgetItem(QStringLiteral("%1（%2）").arg(name.trimmed(), id), lstAvoid);
    item->setData(Qt::UserRole, id);
    item->setData(Qt::UserRole + 1, name.trimmed());
}

void frmAvoid::cmdFind_Click()
{
    using namespace Schema;
    lstLibrary->clear();
    const QString typed = txtExpertName->text().trimmed();
    if (typed.isEmpty()) {
        m_state.messages().information(QStringLiteral("请输入专家姓名或编号！"));
        txtExpertName->setFocus();
        return;
    }
    const WildcardPattern pattern = WildcardPattern::contains(typed);
    int found = 0;
    const TextTable &experts = m_state.store.ExpertTable;
    for (qsizetype r = 0; r < experts.count(); ++r) {
        if (!pattern.matches(experts.cell(r, E_Name)) && experts.cell(r, E_Id) != typed)
            continue;
        const QString id = experts.cell(r, E_Id).toString();
        const QString name = experts.cell(r, E_Name).toString();
        auto *item = new QListWidgetItem(
            QStringLiteral("%1（%2）%3").arg(name.trimmed(), id, experts.cell(r, E_Company_name).trimmed()),
            lstLibrary);
        item->setData(Qt::UserRole, id);
        item->setData(Qt::UserRole + 1, name);
        if (++found >= kMaxFound)
            break;
    }
    if (found == 0)
        m_state.messages().critical(QStringLiteral("没有匹配的记录！"));
}

void frmAvoid::cmdAdd_Click()
{
    const QList<QListWidgetItem *> chosen = lstLibrary->selectedItems();
    if (chosen.isEmpty()) {
        m_state.messages().information(QStringLiteral("请您至少选择一条记录！"));
        return;
    }
    for (const QListWidgetItem *item : chosen)
        addAvoided(item->data(Qt::UserRole).toString(), item->data(Qt::UserRole + 1).toString());
    showCounts();
}

void frmAvoid::cmdRemove_Click()
{
    qDeleteAll(lstAvoid->selectedItems());
    showCounts();
}

void frmAvoid::cmdClear_Click() { setRules(AvoidanceRules()); }

void frmAvoid::cmdOK_Click()
{
    if (chkRecent->isChecked() && txtDays->text().trimmed().toInt() < 1) {
        m_state.messages().information(QStringLiteral("请输入回避天数！"));
        txtDays->setFocus();
        return;
    }
    if (chkFormer->isChecked() && txtFormerYears->text().trimmed().toInt() < 1) {
        m_state.messages().information(QStringLiteral("请输入年数！"));
        txtFormerYears->setFocus();
        return;
    }
    const AvoidanceRules r = rules();
    if (const QString problem = AvoidanceRulesProblem(r); !problem.isEmpty()) {
        m_state.messages().information(problem);
        if (!r.units.isEmpty() && r.unitsReason.isEmpty())
            txtUnitsReason->setFocus();
        else if (!r.expertIds.isEmpty() && r.expertsReason.isEmpty())
            txtExpertsReason->setFocus();
        else
            txtRecentReason->setFocus();
        return;
    }
    accept();
}

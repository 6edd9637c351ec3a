#include "admin/frmDrawRules.h"

#include "admin/frmReconfirm.h"
#include "admin/frmUnitAliases.h"

#include "data/Tables.h"
#include "data/Vocabulary.h"
#include "ui/Controls.h"
#include "ui/Guarded.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Bounds that no real rule comes near; a larger number is a typing slip.
constexpr int kMostAge = 150;
constexpr int kMostWorkYears = 80;
constexpr int kMostPanel = 99;
constexpr int kMostGapDays = 3650;
constexpr int kMostLimitDays = 3650;
constexpr int kMostLimitCount = 999;

QLabel *PlainLabel(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    return l;
}

// The number in a box, or -1 when it holds no whole number from 1 to most.
int BoxNumber(const QLineEdit *box, int most)
{
    bool ok = false;
    const int n = box->text().trimmed().toInt(&ok);
    return ok && n >= 1 && n <= most ? n : -1;
}

QString NumberText(int n) { return n > 0 ? QString::number(n) : QString(); }

}   // namespace

frmDrawRules::frmDrawRules(AppState &state, QWidget *parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmDrawRules"));
    setWindowTitle(QStringLiteral("抽取规则"));
    auto *layout = new QVBoxLayout(this);

    // One group per rule: its on/off box, then a sentence with the number in it.
    const auto group = [&](const char *name, const QString &title, QCheckBox *&chk, const char *chkName) {
        auto *box = new QGroupBox(title, this);
        box->setObjectName(QString::fromLatin1(name));
        auto *grid = new QGridLayout(box);
        chk = new QCheckBox(QStringLiteral("启用此规则"), box);
        chk->setObjectName(QString::fromLatin1(chkName));
        grid->addWidget(chk, 0, 0, 1, -1);
        layout->addWidget(box);
        return grid;
    };
    const auto numberBox = [&](QGridLayout *grid, int row, const QString &before, const char *name,
                               const QString &after) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMaximumWidth(80);
        QLabel *lead = PlainLabel(before, this);
        lead->setBuddy(edit);
        edit->setAccessibleName(before + after);
        grid->addWidget(lead, row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(PlainLabel(after, this), row, 2);
        grid->setColumnStretch(3, 1);
        return edit;
    };

    QGridLayout *g = group("fraAge", QStringLiteral("年龄上限"), chkAge, "chkAge");
    txtAgeLimit = numberBox(g, 1, QStringLiteral("评审之日年满"), "txtAgeLimit",
                            QStringLiteral("周岁的专家不参加抽取（出生日期缺失时按身份证号推算，无法推算的不排除）"));

    g = group("fraWorkYears", QStringLiteral("工作年限"), chkWorkYears, "chkWorkYears");
    txtWorkYears = numberBox(g, 1, QStringLiteral("自毕业时间起工作不少于"), "txtWorkYears",
                             QStringLiteral("年（毕业时间缺失的专家不参加抽取）"));

    g = group("fraTitles", QStringLiteral("职称级别"), chkTitles, "chkTitles");
    g->addWidget(PlainLabel(QStringLiteral("只抽取具有以下职称级别的专家："), this), 1, 0, 1, -1);
    m_titleBox = new QWidget(this);
    m_titleBox->setObjectName(QStringLiteral("titleLevels"));
    auto *titles = new QGridLayout(m_titleBox);
    titles->setContentsMargins(0, 0, 0, 0);
    const TextTable &types = m_state.store.TitleTypeTable;
    for (qsizetype row = 1; row < types.count(); ++row) {
        auto *chk = new QCheckBox(types.cell(row, 1).toString(), m_titleBox);
        chk->setObjectName(QStringLiteral("chkTitle_%1").arg(row - 1));
        const int i = int(row - 1);
        titles->addWidget(chk, i / 4, i % 4);
        chkTitle.append(chk);
        m_titleCodes.append(ReferenceCode(row));
    }
    g->addWidget(m_titleBox, 2, 0, 1, -1);

    g = group("fraPanelSize", QStringLiteral("评审专家人数"), chkPanelSize, "chkPanelSize");
    txtPanelSize = numberBox(g, 1, QStringLiteral("确认参加的专家不少于"), "txtPanelSize",
                             QStringLiteral("人且为单数，完成抽取时检查"));

    g = group("fraGap", QStringLiteral("信息确认"), chkGap, "chkGap");
    txtGapDays = numberBox(g, 1, QStringLiteral("超过"), "txtGapDays",
                           QStringLiteral("天未参加评审、信息也未更新的专家，列入待确认信息名单"));

    g = group("fraLimit", QStringLiteral("评审次数限制"), chkLimit, "chkLimit");
    txtLimitDays = numberBox(g, 1, QStringLiteral("最近"), "txtLimitDays", QStringLiteral("天内"));
    txtLimitCount =
        numberBox(g, 2, QStringLiteral("已确认参加"), "txtLimitCount", QStringLiteral("次评审的专家不参加抽取"));

    // What the rules above lean on, kept apart because it is edited apart.
    auto *more = new QHBoxLayout;
    cmdAliases = new QPushButton(QStringLiteral("单位别名…"), this);
    cmdAliases->setObjectName(QStringLiteral("cmdAliases"));
    cmdAliases->setAutoDefault(false);
    cmdReconfirm = new QPushButton(QStringLiteral("待确认信息名单…"), this);
    cmdReconfirm->setObjectName(QStringLiteral("cmdReconfirm"));
    cmdReconfirm->setAutoDefault(false);
    more->addWidget(cmdAliases);
    more->addWidget(cmdReconfirm);
    more->addStretch(1);
    layout->addLayout(more);

    const OkCancelButtons okCancel = AddOkCancelRow(this, layout, true);
    cmdOK = okCancel.ok;
    cmdCancel = okCancel.cancel;

    // What the library holds now; rules that cannot be read show as off,
    // and saying so keeps the administrator from taking that for the truth.
    const Result<EligibilityRules> current = ReadEligibilityRules(m_state.store);
    if (!current)
        m_state.messages().critical(QStringLiteral("无法读取抽取规则：\n") + current.message(), kAppTitle,
                                    current.detail());
    setRules(current ? current.value() : EligibilityRules());

    for (QCheckBox *chk : {chkAge, chkWorkYears, chkTitles, chkPanelSize, chkGap, chkLimit})
        connect(chk, &QCheckBox::toggled, this, Guarded([this](bool) { enableBoxes(); }));
    connect(cmdOK, &QPushButton::clicked, this, Guarded([this] { cmdOK_Click(); }));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded([this] { reject(); }));
    connect(cmdAliases, &QPushButton::clicked, this, Guarded([this] {
                frmUnitAliases dialog(m_state, this);
                m_state.services.dialogs->run(dialog);
            }));
    connect(cmdReconfirm, &QPushButton::clicked, this, Guarded([this] {
                frmReconfirm dialog(m_state, this);
                m_state.services.dialogs->run(dialog);
            }));
}

void frmDrawRules::setRules(const EligibilityRules &r)
{
    chkAge->setChecked(r.ageLimit > 0);
    txtAgeLimit->setText(NumberText(r.ageLimit));
    chkWorkYears->setChecked(r.minWorkYears > 0);
    txtWorkYears->setText(NumberText(r.minWorkYears));
    chkTitles->setChecked(!r.titleLevels.isEmpty());
    for (qsizetype i = 0; i < chkTitle.size(); ++i)
        chkTitle[i]->setChecked(r.titleLevels.contains(m_titleCodes[i]));
    chkPanelSize->setChecked(r.panelSize > 0);
    txtPanelSize->setText(NumberText(r.panelSize));
    chkGap->setChecked(r.confirmGapDays > 0);
    txtGapDays->setText(NumberText(r.confirmGapDays));
    chkLimit->setChecked(r.confirmLimit > 0 && r.confirmDays > 0);
    txtLimitDays->setText(NumberText(r.confirmDays));
    txtLimitCount->setText(NumberText(r.confirmLimit));
    enableBoxes();
}

void frmDrawRules::enableBoxes()
{
    txtAgeLimit->setEnabled(chkAge->isChecked());
    txtWorkYears->setEnabled(chkWorkYears->isChecked());
    m_titleBox->setEnabled(chkTitles->isChecked());
    txtPanelSize->setEnabled(chkPanelSize->isChecked());
    txtGapDays->setEnabled(chkGap->isChecked());
    txtLimitDays->setEnabled(chkLimit->isChecked());
    txtLimitCount->setEnabled(chkLimit->isChecked());
}

EligibilityRules frmDrawRules::rules(QString *problem) const
{
    EligibilityRules r;
    problem->clear();
    const auto fail = [&](QLineEdit *box, const QString &text) {
        if (problem->isEmpty()) {
            *problem = text;
            box->setFocus();
        }
    };
    if (chkAge->isChecked()) {
        r.ageLimit = BoxNumber(txtAgeLimit, kMostAge);
        if (r.ageLimit < 0)
            fail(txtAgeLimit, QStringLiteral("年龄上限应为1到%1之间的整数。").arg(kMostAge));
    }
    if (chkWorkYears->isChecked()) {
        r.minWorkYears = BoxNumber(txtWorkYears, kMostWorkYears);
        if (r.minWorkYears < 0)
            fail(txtWorkYears, QStringLiteral("工作年限应为1到%1之间的整数。").arg(kMostWorkYears));
    }
    if (chkTitles->isChecked()) {
        for (qsizetype i = 0; i < chkTitle.size(); ++i)
            if (chkTitle[i]->isChecked())
                r.titleLevels << m_titleCodes[i];
        if (r.titleLevels.isEmpty() && problem->isEmpty())
            *problem = QStringLiteral("请至少选择一个职称级别，或不启用职称级别规则。");
    }
    if (chkPanelSize->isChecked()) {
        r.panelSize = BoxNumber(txtPanelSize, kMostPanel);
        if (r.panelSize < 3 || r.panelSize % 2 == 0)
            fail(txtPanelSize, QStringLiteral("评审专家人数应为3到%1之间的单数。").arg(kMostPanel));
    }
    if (chkGap->isChecked()) {
        r.confirmGapDays = BoxNumber(txtGapDays, kMostGapDays);
        if (r.confirmGapDays < 0)
            fail(txtGapDays, QStringLiteral("信息确认的天数应为1到%1之间的整数。").arg(kMostGapDays));
    }
    if (chkLimit->isChecked()) {
        r.confirmDays = BoxNumber(txtLimitDays, kMostLimitDays);
        r.confirmLimit = BoxNumber(txtLimitCount, kMostLimitCount);
        if (r.confirmDays < 0)
            fail(txtLimitDays, QStringLiteral("评审次数限制的天数应为1到%1之间的整数。").arg(kMostLimitDays));
        if (r.confirmLimit < 0)
            fail(txtLimitCount, QStringLiteral("评审次数限制的次数应为1到%1之间的整数。").arg(kMostLimitCount));
    }
    if (problem->isEmpty())
        *problem = EligibilityRulesProblem(r);
    return r;
}

void frmDrawRules::cmdOK_Click()
{
    QString problem;
    const EligibilityRules r = rules(&problem);
    if (!problem.isEmpty()) {
        m_state.messages().information(problem);
        return;
    }
    const Outcome written = WriteEligibilityRules(m_state.store, r);
    if (!written) {
        m_state.messages().critical(QStringLiteral("保存抽取规则失败，规则没有改变：\n") + written.message(), kAppTitle,
                                    written.detail());
        return;
    }
    accept();
}

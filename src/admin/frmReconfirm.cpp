#include "admin/frmReconfirm.h"

#include "data/EligibilityRules.h"
#include "data/PersonalData.h"
#include "ui/Guarded.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// Columns of ExpertsToReconfirm shown, in order, with their headings.
constexpr int kShownColumns[] = {0, 1, 2, 3, 4, 5, 6};
const char *const kHeadings[] = {"专家编号",     "姓名",         "工作单位", "电话号码",
                                 "最近参加评审", "信息更新日期", "间隔天数"};
constexpr int kPhoneColumn = 3;

}   // namespace

frmReconfirm::frmReconfirm(AppState &state, QWidget *parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmReconfirm"));
    setWindowTitle(QStringLiteral("待确认信息名单"));
    auto *layout = new QVBoxLayout(this);
    labCount = new QLabel(this);
    labCount->setObjectName(QStringLiteral("labCount"));
    labCount->setTextFormat(Qt::PlainText);
    labCount->setWordWrap(true);
    layout->addWidget(labCount);
    grdExperts = new QTableWidget(0, int(std::size(kShownColumns)), this);
    grdExperts->setObjectName(QStringLiteral("grdExperts"));
    grdExperts->setAccessibleName(QStringLiteral("待确认信息的专家"));
    QStringList headings;
    for (const char *h : kHeadings)
        headings << QString::fromUtf8(h);
    grdExperts->setHorizontalHeaderLabels(headings);
    grdExperts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdExperts->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdExperts->verticalHeader()->setVisible(false);
    grdExperts->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    grdExperts->setMinimumSize(760, 360);
    layout->addWidget(grdExperts);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    cmdClose = new QPushButton(QStringLiteral("关 闭"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    row->addWidget(cmdClose);
    layout->addLayout(row);
    connect(cmdClose, &QPushButton::clicked, this, Guarded([this] { accept(); }));
    refresh();
}

void frmReconfirm::refresh()
{
    grdExperts->setRowCount(0);
    const Result<EligibilityRules> rules = ReadEligibilityRules(m_state.store);
    const Result<TextTable> list = ExpertsToReconfirm(m_state.store, m_state.today());
    if (!rules || !list) {
        const Failure failure = !rules ? rules.failure() : list.failure();
        labCount->setText(QStringLiteral("无法读取待确认信息名单。"));
        m_state.messages().failed(failure.prefixed(QStringLiteral("无法读取待确认信息名单：\n")));
        return;
    }
    if (rules.value().confirmGapDays <= 0) {
        labCount->setText(QStringLiteral("未启用信息确认规则（在“抽取规则”中设置）。"));
        return;
    }
    const TextTable &rows = list.value();
    labCount->setText(QStringLiteral("超过%1天未参加评审、信息也未更新的启用专家共%2人，请与他们确认信息：")
                          .arg(rules.value().confirmGapDays)
                          .arg(rows.count()));
    const bool mask = MasksPersonalData(m_state.store, m_state.session.CurrentUserRole);
    grdExperts->setRowCount(int(rows.count()));
    for (qsizetype r = 0; r < rows.count(); ++r) {
        for (int c = 0; c < int(std::size(kShownColumns)); ++c) {
            QString text = rows.cell(r, kShownColumns[c]).toString().trimmed();
            if (c == kPhoneColumn && mask)
                text = MaskPhone(text);
            if (c == 4 && text.isEmpty())
                text = QStringLiteral("无");
            grdExperts->setItem(int(r), c, new QTableWidgetItem(text));
        }
    }
}

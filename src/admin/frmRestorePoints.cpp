#include "admin/frmRestorePoints.h"

#include "ui/Guarded.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QPushButton *button(QWidget *parent, const QString &name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

}   // namespace

frmRestorePoints::frmRestorePoints(const QList<RestorePoint> &points, QWidget *parent)
    : QDialog(parent), m_points(points)
{
    setObjectName(QStringLiteral("frmRestorePoints"));
    setWindowTitle(QStringLiteral("更新专家库"));
    auto *layout = new QVBoxLayout(this);
    auto *labHint =
        new QLabel(QStringLiteral("选择一个还原点（每次退出时自动保存），或按“浏览…”选择别的备份文件："), this);
    labHint->setObjectName(QStringLiteral("labHint"));
    labHint->setTextFormat(Qt::PlainText);
    layout->addWidget(labHint);

    grdPoints = new QTableWidget(int(points.size()), 5, this);
    grdPoints->setObjectName(QStringLiteral("grdPoints"));
    grdPoints->setHorizontalHeaderLabels({QStringLiteral("日期"), QStringLiteral("大小"), QStringLiteral("专家"),
                                          QStringLiteral("抽取记录"), QStringLiteral("检查结果")});
    grdPoints->verticalHeader()->hide();
    grdPoints->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdPoints->setSelectionMode(QAbstractItemView::SingleSelection);
    grdPoints->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdPoints->horizontalHeader()->setStretchLastSection(true);
    int chosen = -1;
    for (int row = 0; row < points.size(); ++row) {
        const RestorePoint &p = points[row];
        const auto count = [](int n) { return n < 0 ? QStringLiteral("-") : QString::number(n); };
        const QStringList cells{p.day.toString(QStringLiteral("yyyy-MM-dd")), ReadableSize(p.size), count(p.experts),
                                count(p.draws), RestorePointCheckText(p)};
        for (int col = 0; col < cells.size(); ++col) {
            auto *item = new QTableWidgetItem(cells[col]);
            item->setToolTip(col == 4 ? p.problem : QDir::toNativeSeparators(p.path));
            // A damaged copy is shown but cannot be chosen.
            if (p.opened && !p.problem.isEmpty())
                item->setFlags(Qt::ItemIsEnabled);
            grdPoints->setItem(row, col, item);
        }
        if (chosen < 0 && p.sound())
            chosen = row;
    }
    grdPoints->resizeColumnsToContents();
    if (chosen >= 0)
        grdPoints->selectRow(chosen);
    layout->addWidget(grdPoints);

    auto *buttons = new QHBoxLayout;
    QPushButton *cmdOK = button(this, QStringLiteral("cmdOK"), QStringLiteral("用所选还原点更新"));
    QPushButton *cmdBrowse = button(this, QStringLiteral("cmdBrowse"), QStringLiteral("浏览…"));
    QPushButton *cmdCancel = button(this, QStringLiteral("cmdCancel"), QStringLiteral("取消"));
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdBrowse);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);
    cmdOK->setDefault(true);
    cmdOK->setEnabled(chosen >= 0);
    connect(grdPoints, &QTableWidget::itemSelectionChanged, this,
            Guarded([this, cmdOK] { cmdOK->setEnabled(!grdPoints->selectionModel()->selectedRows().isEmpty()); }));
    connect(cmdOK, &QPushButton::clicked, this, Guarded(this, &frmRestorePoints::cmdOK_Click));
    connect(cmdBrowse, &QPushButton::clicked, this, Guarded(this, &frmRestorePoints::cmdBrowse_Click));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded([this] { reject(); }));
    resize(680, 360);
}

void frmRestorePoints::cmdOK_Click()
{
    const QModelIndexList rows = grdPoints->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    const RestorePoint &p = m_points[rows.first().row()];
    if (p.opened && !p.problem.isEmpty())
        return;
    m_chosen = p.path;
    m_browse = false;
    accept();
}

void frmRestorePoints::cmdBrowse_Click()
{
    m_chosen.clear();
    m_browse = true;
    accept();
}

frmSecondBackup::frmSecondBackup(const QString &current, const RetentionRule &rule, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSecondBackup"));
    setWindowTitle(QStringLiteral("备份设置"));
    auto *layout = new QVBoxLayout(this);
    // At least the last day stays: a rule that keeps nothing would delete
    // every restore point at the next exit.
    auto spin = [this](const QString &name, int minimum, int value) {
        auto *box = new QSpinBox(this);
        box->setObjectName(name);
        box->setRange(minimum, 99);
        box->setValue(qBound(minimum, value, 99));
        return box;
    };
    spnDaily = spin(QStringLiteral("spnDaily"), 1, rule.daily);
    spnWeekly = spin(QStringLiteral("spnWeekly"), 0, rule.weekly);
    spnMonthly = spin(QStringLiteral("spnMonthly"), 0, rule.monthly);
    auto *keep = new QHBoxLayout;
    const auto text = [this](const QString &t) {
        auto *l = new QLabel(t, this);
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    keep->addWidget(text(QStringLiteral("每次退出时保留还原点（“数据库备份\\历史”）：最近")));
    keep->addWidget(spnDaily);
    keep->addWidget(text(QStringLiteral("天、")));
    keep->addWidget(spnWeekly);
    keep->addWidget(text(QStringLiteral("周、")));
    keep->addWidget(spnMonthly);
    keep->addWidget(text(QStringLiteral("个月各一份")));
    keep->addStretch();
    layout->addLayout(keep);
    auto *labHint =
        new QLabel(QStringLiteral("每次退出时，在本机备份之后再把数据库备份到这个文件夹（如 U 盘或网络文件夹）。"
                                  "\n文件夹不在时（U 盘没有插上）照常退出，只提示一下。留空则不用第二备份文件夹。"),
                   this);
    labHint->setObjectName(QStringLiteral("labHint"));
    labHint->setTextFormat(Qt::PlainText);
    layout->addWidget(labHint);
    auto *row = new QHBoxLayout;
    txtFolder = new QLineEdit(QDir::toNativeSeparators(current), this);
    txtFolder->setObjectName(QStringLiteral("txtFolder"));
    QPushButton *cmdBrowse = button(this, QStringLiteral("cmdBrowse"), QStringLiteral("浏览…"));
    row->addWidget(txtFolder, 1);
    row->addWidget(cmdBrowse);
    layout->addLayout(row);
    auto *buttons = new QHBoxLayout;
    QPushButton *cmdOK = button(this, QStringLiteral("cmdOK"), QStringLiteral("确定"));
    QPushButton *cmdCancel = button(this, QStringLiteral("cmdCancel"), QStringLiteral("取消"));
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);
    cmdOK->setDefault(true);
    connect(cmdBrowse, &QPushButton::clicked, this, Guarded([this] {
                const QString chosen =
                    QFileDialog::getExistingDirectory(this, QStringLiteral("第二备份文件夹"), txtFolder->text());
                if (!chosen.isEmpty())
                    txtFolder->setText(QDir::toNativeSeparators(chosen));
            }));
    connect(cmdOK, &QPushButton::clicked, this, Guarded([this] { accept(); }));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded([this] { reject(); }));
    resize(620, 190);
}

QString frmSecondBackup::folder() const { return QDir::fromNativeSeparators(txtFolder->text().trimmed()); }

RetentionRule frmSecondBackup::rule() const { return {spnDaily->value(), spnWeekly->value(), spnMonthly->value()}; }

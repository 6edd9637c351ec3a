#include "extraction/frmConduct.h"

#include "data/TextWidth.h"
#include "ui/Controls.h"
#include "ui/Guarded.h"
#include "ui/ScreenStyle.h"
#include "ui/Twips.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { C_Seq, C_Name, C_Rating, C_Remark, C_RecordKind, C_Record, ColumnCount };

}   // namespace

QList<int> AttendingExperts(const ProjectDetail &project)
{
    QList<int> seqs;
    for (const ProjectExpert &e : project.experts)
        if (e.attendance == Attendance::Confirmed)
            seqs.append(e.seq);
    return seqs;
}

frmConduct::frmConduct(const Services &services, const ProjectDetail &project, const QList<ConductEntry> &recorded,
                       QWidget *parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("frmConduct"));
    setWindowTitle(QStringLiteral("专家评价"));
    setModal(true);
    setFont(ScreenFont());
    resize(Px(10200), Px(5400));

    auto *layout = new QVBoxLayout(this);
    auto *labProject = new QLabel(QStringLiteral("项目：%1  （只列出出席情况为“已确认”的专家）")
                                      .arg(ShownOnOneLine(project.facts.name.trimmed())),
                                  this);
    labProject->setObjectName(QStringLiteral("labProject"));
    labProject->setTextFormat(Qt::PlainText);
    layout->addWidget(labProject);

    m_seqs = AttendingExperts(project);
    grdConduct = new QTableWidget(int(m_seqs.size()), ColumnCount, this);
    grdConduct->setObjectName(QStringLiteral("grdConduct"));
    grdConduct->setHorizontalHeaderLabels({QStringLiteral("序号"), QStringLiteral("姓名"), QStringLiteral("评价"),
                                           QStringLiteral("评语"), QStringLiteral("不良记录"),
                                           QStringLiteral("不良记录内容")});
    grdConduct->verticalHeader()->hide();
    grdConduct->setSelectionMode(QAbstractItemView::NoSelection);
    grdConduct->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < m_seqs.size(); ++r) {
        const ProjectExpert *e = project.expert(m_seqs[r]);
        const QString name = e ? e->name().trimmed() : QString();
        m_names.append(name);
        ConductEntry had;
        for (const ConductEntry &c : recorded)
            if (c.seq == m_seqs[r])
                had = c;
        grdConduct->setItem(r, C_Seq, new QTableWidgetItem(QString::number(m_seqs[r])));
        grdConduct->setItem(r, C_Name, new QTableWidgetItem(ShownOnOneLine(name)));

        auto *rating = new QComboBox(grdConduct);
        rating->setObjectName(ArrayName(QStringLiteral("cboRating"), r));
        rating->addItems({QString(), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                          QStringLiteral("5")});
        rating->setCurrentIndex(had.rating >= 1 && had.rating <= 5 ? had.rating : 0);
        grdConduct->setCellWidget(r, C_Rating, rating);
        cboRating.append(rating);

        auto *remark = new QLineEdit(had.remark, grdConduct);
        remark->setObjectName(ArrayName(QStringLiteral("txtRemark"), r));
        remark->setMaxLength(200);
        grdConduct->setCellWidget(r, C_Remark, remark);
        txtRemark.append(remark);

        auto *kind = new QComboBox(grdConduct);
        kind->setObjectName(ArrayName(QStringLiteral("cboRecordKind"), r));
        kind->addItem(QString());
        kind->addItems(MisconductKind::All());
        kind->setCurrentIndex(int(MisconductKind::All().indexOf(had.recordKind)) + 1);
        grdConduct->setCellWidget(r, C_RecordKind, kind);
        cboRecordKind.append(kind);

        auto *record = new QLineEdit(had.recordText, grdConduct);
        record->setObjectName(ArrayName(QStringLiteral("txtRecord"), r));
        record->setMaxLength(500);
        grdConduct->setCellWidget(r, C_Record, record);
        txtRecord.append(record);
    }
    grdConduct->setColumnWidth(C_Seq, Px(600));
    grdConduct->setColumnWidth(C_Name, Px(1200));
    grdConduct->setColumnWidth(C_Rating, Px(800));
    grdConduct->setColumnWidth(C_Remark, Px(2700));
    grdConduct->setColumnWidth(C_RecordKind, Px(1400));
    grdConduct->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(grdConduct, 1);

    const OkCancelButtons buttons = AddOkCancelRow(this, layout);
    connect(buttons.ok, &QPushButton::clicked, this, Guarded(this, &frmConduct::cmdOK_Click));
    connect(buttons.cancel, &QPushButton::clicked, this, Guarded(this, &QDialog::reject));
}

QList<ConductEntry> frmConduct::entries() const
{
    QList<ConductEntry> out;
    for (int r = 0; r < m_seqs.size(); ++r) {
        ConductEntry e;
        e.seq = m_seqs[r];
        e.rating = cboRating[r]->currentIndex();
        e.remark = txtRemark[r]->text().trimmed();
        e.recordKind = cboRecordKind[r]->currentText();
        e.recordText = txtRecord[r]->text().trimmed();
        out.append(e);
    }
    return out;
}

void frmConduct::cmdOK_Click()
{
    const QList<ConductEntry> all = entries();
    for (int r = 0; r < all.size(); ++r) {
        const QString problem = ConductProblem(all[r]);
        if (!problem.isEmpty()) {
            m_services.messages->information(
                QStringLiteral("第%1位专家%2：%3").arg(all[r].seq).arg(m_names.value(r), problem));
            return;
        }
    }
    accept();
}

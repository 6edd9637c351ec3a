#include "extraction/frmAttendance.h"
#include "ui/Guarded.h"

#include "data/TextWidth.h"

#include "ui/ScreenStyle.h"
#include "ui/Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
const QString kStatuses[4] = {Attendance::NotContacted, Attendance::Confirmed, Attendance::Declined,
                              Attendance::NoShow};
}

frmAttendance::frmAttendance(const Services &services, const ProjectExpert &expert, QWidget *parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("frmAttendance"));
    setWindowTitle(QStringLiteral("出席情况"));
    setModal(true);
    setFont(ScreenFont());
    setFixedSize(Px(5880), Px(3300));

    labExpert = new QLabel(
        QStringLiteral("第%1位专家：%2（%3）  %4")
            .arg(expert.seq)
            .arg(ShownOnOneLine(expert.name().trimmed()), expert.id(), ShownOnOneLine(expert.row.value(4).trimmed())),
        this);
    labExpert->setObjectName(QStringLiteral("labExpert"));
    labExpert->setTextFormat(Qt::PlainText);
    labExpert->setGeometry(TwRect(240, 240, 5400, 255));
    for (int i = 0; i < 4; ++i) {
        optStatus[i] = new QRadioButton(kStatuses[i], this);
        optStatus[i]->setObjectName(ArrayName(QStringLiteral("optStatus"), i));
        optStatus[i]->setGeometry(TwRect(360 + 1320 * i, 720, 1200, 285));
        optStatus[i]->setChecked(expert.attendance == kStatuses[i]);
    }
    labKind = new QLabel(QStringLiteral("拒绝原因："), this);
    labKind->setObjectName(QStringLiteral("labKind"));
    labKind->setGeometry(TwRect(240, 1260, 1095, 255));
    cboReasonKind = new QComboBox(this);
    cboReasonKind->setObjectName(QStringLiteral("cboReasonKind"));
    // The blank first item: a reason is chosen, never taken by default.
    cboReasonKind->addItem(QString());
    cboReasonKind->addItems(DeclineKind::All());
    cboReasonKind->setGeometry(TwRect(1320, 1200, 1800, 315));
    if (expert.attendance == Attendance::Declined)
        cboReasonKind->setCurrentIndex(int(DeclineKind::All().indexOf(expert.reasonKind)) + 1);
    labReason = new QLabel(QStringLiteral("说    明："), this);
    labReason->setObjectName(QStringLiteral("labReason"));
    labReason->setGeometry(TwRect(240, 1740, 1095, 255));
    txtReason = new QLineEdit(Attendance::IsAbsence(expert.attendance) ? expert.reason : QString(), this);
    txtReason->setObjectName(QStringLiteral("txtReason"));
    txtReason->setMaxLength(200);
    txtReason->setGeometry(TwRect(1320, 1680, 4320, 315));
    for (QRadioButton *o : optStatus)
        connect(o, &QRadioButton::toggled, this, Guarded(this, &frmAttendance::showReason));
    showReason();

    cmdOK = new QPushButton(QStringLiteral("确 定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(TwRect(1440, 2460, 1095, 375));
    cmdOK->setAutoDefault(false);
    cmdCancel = new QPushButton(QStringLiteral("取 消"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(TwRect(3120, 2460, 1095, 375));
    cmdCancel->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, Guarded(this, &frmAttendance::cmdOK_Click));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded(this, &QDialog::reject));
}

void frmAttendance::showReason()
{
    const bool declined = optStatus[2]->isChecked();
    const bool noShow = optStatus[3]->isChecked();
    labKind->setEnabled(declined);
    cboReasonKind->setEnabled(declined);
    labReason->setEnabled(declined || noShow);
    txtReason->setEnabled(declined || noShow);
}

QString frmAttendance::status() const
{
    for (int i = 0; i < 4; ++i)
        if (optStatus[i]->isChecked())
            return kStatuses[i];
    return QString();
}

QString frmAttendance::reasonKind() const
{
    return status() == Attendance::Declined ? cboReasonKind->currentText() : QString();
}

QString frmAttendance::reason() const
{
    return Attendance::IsAbsence(status()) ? txtReason->text().trimmed() : QString();
}

void frmAttendance::cmdOK_Click()
{
    const QString problem = AttendanceProblem(change());
    if (!problem.isEmpty()) {
        m_services.messages->information(problem);
        if (status() == Attendance::Declined && reasonKind().isEmpty())
            cboReasonKind->setFocus();
        else if (Attendance::IsAbsence(status()))
            txtReason->setFocus();
        return;
    }
    accept();
}

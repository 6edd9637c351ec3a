#include "extraction/frmAttendance.h"
#include "ui/Guarded.h"

#include "data/TextWidth.h"

#include "ui/ScreenStyle.h"
#include "ui/Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
const QString kStatuses[3] = {Attendance::NotContacted, Attendance::Confirmed, Attendance::Declined};
}

frmAttendance::frmAttendance(const Services &services, const ProjectExpert &expert, QWidget *parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("frmAttendance"));
    setWindowTitle(QStringLiteral("出席情况"));
    setModal(true);
    setFont(ScreenFont());
    setFixedSize(Px(5400), Px(2880));

    labExpert = new QLabel(
        QStringLiteral("第%1位专家：%2（%3）  %4")
            .arg(expert.seq)
            .arg(ShownOnOneLine(expert.name().trimmed()), expert.id(), ShownOnOneLine(expert.row.value(4).trimmed())),
        this);
    labExpert->setObjectName(QStringLiteral("labExpert"));
    labExpert->setTextFormat(Qt::PlainText);
    labExpert->setGeometry(TwRect(240, 240, 4920, 255));
    for (int i = 0; i < 3; ++i) {
        optStatus[i] = new QRadioButton(kStatuses[i], this);
        optStatus[i]->setObjectName(ArrayName(QStringLiteral("optStatus"), i));
        optStatus[i]->setGeometry(TwRect(480 + 1440 * i, 720, 1320, 285));
        optStatus[i]->setChecked(expert.attendance == kStatuses[i]);
    }
    labReason = new QLabel(QStringLiteral("拒绝原因："), this);
    labReason->setObjectName(QStringLiteral("labReason"));
    labReason->setGeometry(TwRect(240, 1260, 1095, 255));
    txtReason = new QLineEdit(expert.reason, this);
    txtReason->setObjectName(QStringLiteral("txtReason"));
    txtReason->setMaxLength(200);
    txtReason->setGeometry(TwRect(1320, 1200, 3840, 315));
    auto showReason = [this] { txtReason->setEnabled(optStatus[2]->isChecked()); };
    for (QRadioButton *o : optStatus)
        connect(o, &QRadioButton::toggled, this, Guarded(showReason));
    showReason();

    cmdOK = new QPushButton(QStringLiteral("确 定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(TwRect(1200, 2040, 1095, 375));
    cmdOK->setAutoDefault(false);
    cmdCancel = new QPushButton(QStringLiteral("取 消"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(TwRect(2880, 2040, 1095, 375));
    cmdCancel->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, Guarded(this, &frmAttendance::cmdOK_Click));
    connect(cmdCancel, &QPushButton::clicked, this, Guarded(this, &QDialog::reject));
}

QString frmAttendance::status() const
{
    for (int i = 0; i < 3; ++i)
        if (optStatus[i]->isChecked())
            return kStatuses[i];
    return QString();
}

QString frmAttendance::reason() const
{
    return status() == Attendance::Declined ? txtReason->text().trimmed() : QString();
}

void frmAttendance::cmdOK_Click()
{
    if (status().isEmpty()) {
        m_services.messages->information(QStringLiteral("请选择出席情况！"));
        return;
    }
    if (status() == Attendance::Declined && reason().isEmpty()) {
        m_services.messages->information(QStringLiteral("请输入拒绝原因！"));
        txtReason->setFocus();
        return;
    }
    accept();
}

#include "extraction/frmSuspend.h"

#include "data/TextWidth.h"
#include "ui/Controls.h"
#include "ui/Guarded.h"
#include "ui/ScreenStyle.h"
#include "ui/Twips.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

frmSuspend::frmSuspend(const Services &services, const QString &expertId, const QString &expertName,
                       const QList<MisconductRecord> &records, const QDate &today, QWidget *parent)
    : QDialog(parent), m_services(services), m_expertId(expertId), m_records(records), m_today(today)
{
    setObjectName(QStringLiteral("frmSuspend"));
    setWindowTitle(QStringLiteral("暂停抽取"));
    setModal(true);
    setFont(ScreenFont());
    resize(Px(7200), Px(3000));

    auto *layout = new QVBoxLayout(this);
    auto *labExpert =
        new QLabel(QStringLiteral("专家：%1（%2）").arg(ShownOnOneLine(expertName.trimmed()), expertId), this);
    labExpert->setObjectName(QStringLiteral("labExpert"));
    labExpert->setTextFormat(Qt::PlainText);
    layout->addWidget(labExpert);

    auto *form = new QFormLayout;
    cboRecord = new QComboBox(this);
    cboRecord->setObjectName(QStringLiteral("cboRecord"));
    // The blank first item: the record behind a suspension is chosen.
    cboRecord->addItem(QString());
    for (const MisconductRecord &r : records)
        cboRecord->addItem(ShownOnOneLine(r.line()));
    if (records.size() == 1)
        cboRecord->setCurrentIndex(1);
    form->addRow(QStringLiteral("不良记录："), cboRecord);

    auto *term = new QHBoxLayout;
    optUntil = new QRadioButton(QStringLiteral("暂停至"), this);
    optUntil->setObjectName(QStringLiteral("optUntil"));
    dtpUntil = new QDateEdit(today.addMonths(6), this);
    dtpUntil->setObjectName(QStringLiteral("dtpUntil"));
    dtpUntil->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dtpUntil->setCalendarPopup(true);
    optLongTerm = new QRadioButton(QStringLiteral("长期"), this);
    optLongTerm->setObjectName(QStringLiteral("optLongTerm"));
    optUntil->setChecked(true);
    term->addWidget(optUntil);
    term->addWidget(dtpUntil);
    term->addWidget(optLongTerm);
    term->addStretch();
    form->addRow(QStringLiteral("暂停期限："), term);
    connect(optUntil, &QRadioButton::toggled, this, Guarded([this](bool on) { dtpUntil->setEnabled(on); }));

    txtReason = new QLineEdit(this);
    txtReason->setObjectName(QStringLiteral("txtReason"));
    txtReason->setMaxLength(200);
    form->addRow(QStringLiteral("暂停原因："), txtReason);
    layout->addLayout(form);

    const OkCancelButtons buttons = AddOkCancelRow(this, layout);
    connect(buttons.ok, &QPushButton::clicked, this, Guarded(this, &frmSuspend::cmdOK_Click));
    connect(buttons.cancel, &QPushButton::clicked, this, Guarded(this, &QDialog::reject));
}

Suspension frmSuspend::suspension() const
{
    Suspension s;
    s.expertId = m_expertId;
    const int chosen = cboRecord->currentIndex() - 1;
    if (chosen >= 0 && chosen < m_records.size()) {
        s.recordProject = m_records[chosen].projectId;
        s.recordSeq = m_records[chosen].seq;
    }
    if (optUntil->isChecked())
        s.until = dtpUntil->date();
    s.reason = txtReason->text().trimmed();
    return s;
}

void frmSuspend::cmdOK_Click()
{
    const QString problem = SuspensionProblem(suspension(), m_today);
    if (!problem.isEmpty()) {
        m_services.messages->information(problem);
        return;
    }
    accept();
}

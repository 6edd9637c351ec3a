#pragma once

#include "data/Credit.h"
#include "ui/Services.h"

#include <QDialog>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QRadioButton;

// 暂停抽取: an administrator suspends an expert on one of their 不良记录,
// to a date or for good (长期), with a reason.
class frmSuspend : public QDialog {
    Q_OBJECT
public:
    frmSuspend(const Services &services, const QString &expertId, const QString &expertName,
               const QList<MisconductRecord> &records, const QDate &today, QWidget *parent = nullptr);

    // The suspension as the controls stand.
    Suspension suspension() const;
    void cmdOK_Click();

private:
    const Services &m_services;
    QString m_expertId;
    QList<MisconductRecord> m_records;
    QDate m_today;
    QComboBox *cboRecord = nullptr;
    QRadioButton *optUntil = nullptr;
    QRadioButton *optLongTerm = nullptr;
    QDateEdit *dtpUntil = nullptr;
    QLineEdit *txtReason = nullptr;
};

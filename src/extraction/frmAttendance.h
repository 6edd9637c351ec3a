#pragma once

#include "data/DrawRecord.h"
#include "ui/Services.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The attendance of one drawn expert: 未联系, 已确认 or 已拒绝 with a reason.
class frmAttendance : public QDialog {
    Q_OBJECT
public:
    frmAttendance(const Services &services, const ProjectExpert &expert, QWidget *parent = nullptr);

    QString status() const;
    QString reason() const;
    void cmdOK_Click();

private:
    const Services &m_services;
    QLabel *labExpert = nullptr;
    QRadioButton *optStatus[3] = {};
    QLabel *labReason = nullptr;
    QLineEdit *txtReason = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
};

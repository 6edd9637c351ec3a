#pragma once

#include "data/DrawStore.h"
#include "ui/Services.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The attendance of one drawn expert: 未联系, 已确认, 已拒绝 with the kind of
// reason and its text, or 未到场 with what happened.
class frmAttendance : public QDialog {
    Q_OBJECT
public:
    frmAttendance(const Services &services, const ProjectExpert &expert, QWidget *parent = nullptr);

    QString status() const;
    QString reasonKind() const;
    QString reason() const;
    AttendanceChange change() const { return {status(), reasonKind(), reason()}; }
    void cmdOK_Click();

private:
    void showReason();

    const Services &m_services;
    QLabel *labExpert = nullptr;
    QRadioButton *optStatus[4] = {};
    QLabel *labKind = nullptr;
    QComboBox *cboReasonKind = nullptr;
    QLabel *labReason = nullptr;
    QLineEdit *txtReason = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
};

#pragma once

#include "data/Credit.h"
#include "data/Projects.h"
#include "ui/Services.h"

#include <QDialog>
#include <QList>

class QComboBox;
class QLineEdit;
class QTableWidget;

// 评价记录: after a review, each attending (已确认) expert's rating with a
// remark, and a 不良记录 with its kind and text when something went wrong.
class frmConduct : public QDialog {
    Q_OBJECT
public:
    // recorded: what the project holds already, shown to be changed.
    frmConduct(const Services &services, const ProjectDetail &project, const QList<ConductEntry> &recorded,
               QWidget *parent = nullptr);

    // One entry per listed expert, as the rows stand now.
    QList<ConductEntry> entries() const;
    int rowCount() const { return int(m_seqs.size()); }
    void cmdOK_Click();

private:
    const Services &m_services;
    QList<int> m_seqs;
    QList<QString> m_names;
    QTableWidget *grdConduct = nullptr;
    QList<QComboBox *> cboRating;
    QList<QLineEdit *> txtRemark;
    QList<QComboBox *> cboRecordKind;
    QList<QLineEdit *> txtRecord;
};

// The experts of a project who can be judged: those whose attendance is
// 已确认, by seq.
QList<int> AttendingExperts(const ProjectDetail &project);

#pragma once

#include "data/Credit.h"
#include "shell/ChildScreen.h"

class PagedList;
class QLabel;
class QPushButton;
class QTableWidget;

// 参与项目: the projects the expert it is opened with was drawn for, from
// the snapshots kept with each project, so projects of experts changed or
// deleted since still show. Opened from the expert detail view (screen 21
// from the expert list, 22 from the advanced search) and returns there.
// Under the projects the expert's whole record in time order: panels,
// declines and no-shows, ratings, 不良记录 and suspensions; an administrator
// suspends the expert here or lifts the suspension.
class frmExpertProjects : public ChildScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmExpertProjects;

    frmExpertProjects(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

    const TextTable &projectRows() const { return m_rows; }
    const TextTable &recordRows() const { return m_record; }

    // 暂停抽取 / 解除暂停 (administrators).
    void cmdSuspend_Click();
    void cmdLift_Click();
    // 导出记录: the record as an .xls workbook; 导出暂停名单: every expert
    // suspended today.
    void cmdExportRecord_Click();
    void cmdExportSuspended_Click();

protected:
    void onActivate(const ScreenArgs &args) override;

private:
    void back();
    void openProject(int slot);
    void showRecord();
    QString expertName() const;
    QList<QWidget *> reportControls() const;

    QString m_expertId;
    TextTable m_rows;
    TextTable m_record;
    QString m_drawState;
    PagedList *m_list = nullptr;
    QLabel *labExpert = nullptr;
    QLabel *labSuspension = nullptr;
    QTableWidget *grdRecord = nullptr;
    QPushButton *cmdSuspend = nullptr;
    QPushButton *cmdLift = nullptr;
    QPushButton *cmdExportRecord = nullptr;
    QPushButton *cmdExportSuspended = nullptr;
    QPushButton *cmd_Back = nullptr;
};

#pragma once

#include "shell/ChildScreen.h"

class PagedList;
class QLabel;
class QPushButton;

// 参与项目: the projects the expert it is opened with was drawn for, from
// the snapshots kept with each project, so projects of experts changed or
// deleted since still show. Opened from the expert detail view (screen 21
// from the expert list, 22 from the advanced search) and returns there.
class frmExpertProjects : public ChildScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmExpertProjects;

    frmExpertProjects(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

    const TextTable &projectRows() const { return m_rows; }

protected:
    void onActivate(const ScreenArgs &args) override;

private:
    void back();
    void openProject(int slot);

    QString m_expertId;
    TextTable m_rows;
    PagedList *m_list = nullptr;
    QLabel *labExpert = nullptr;
    QPushButton *cmd_Back = nullptr;
};

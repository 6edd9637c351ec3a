#pragma once

#include "shell/ChildScreen.h"

class PagedList;
class QLineEdit;
class QPushButton;

// 项目列表: the stored projects (ProjectTable), newest last, searchable by the
// date they were drawn and by name; "[查看]" opens a project.
class frmProList : public ChildScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmProList;

    frmProList(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

    // The projects on show (column 0 the project Id).
    const TextTable &projectRows() const { return m_rows; }
    void cmdSearch_Click();
    // 未保存轮次: the draws never stored under a project, by day.
    void cmdUnsaved_Click();

protected:
    void onActivate(const ScreenArgs &) override;

private:
    void clearFields();
    void showList();
    void openProject(int slot);

    TextTable m_rows;
    PagedList *m_list = nullptr;
    QLineEdit *txtFrom = nullptr;
    QLineEdit *txtTo = nullptr;
    QLineEdit *txtName = nullptr;   // txtDis(0)
    QPushButton *cmdSearch = nullptr;
    QPushButton *cmd_Clear = nullptr;
    QPushButton *cmdUnsaved = nullptr;
};

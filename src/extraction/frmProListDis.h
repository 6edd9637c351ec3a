#pragma once

#include "data/Projects.h"
#include "reports/Reports.h"
#include "shell/ChildScreen.h"

#include <QList>
#include <array>
#include <optional>

class PagedList;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// 项目列表 -> 查看: everything recorded of the project it is opened with:
// its facts, its rounds, its experts with their attendance and substitutes;
// drawing substitutes, verifying the draw and printing its record.
class frmProListDis : public ChildScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmProListDis;

    frmProListDis(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

    const std::optional<ProjectDetail> &project() const { return m_project; }
    const TextTable &expertRows() const { return m_rows; }

    // 补 抽: a substitute for every expert who declined and has none yet.
    void cmdSubstitute_Click();
    // 验 证: the project's draws checked as kestrune-verify checks them.
    void cmdVerify_Click();
    // 导出候选名单: every round's candidate list with the numbers behind it,
    // as CSV, so that anyone can derive the panel again from it and the
    // printed record.
    void cmdExportCandidates_Click();
    // 专家评价: ratings and 不良记录 of the experts who attended.
    void cmdConduct_Click();
    // [出席] on a row: the attendance of that expert.
    void setAttendance(int slot);
    QList<QWidget *> reportControls() const;
    // The record as the current user may see it printed.
    DrawRecordContent printedRecord() const;
    // 公开抽取结果 (administrators): the panel is shown to every user from now on.
    void cmdPublish_Click();
    // Whether the panel is hidden from the logged-in user.
    bool concealed() const { return m_concealed; }

protected:
    void onActivate(const ScreenArgs &args) override;

private:
    void reload();
    void showProject();
    // Says so and returns true when the panel is hidden from the user.
    bool refusedWhileConcealed();

    QString m_projectId;
    std::optional<ProjectDetail> m_project;
    TextTable m_rows;
    PagedList *m_list = nullptr;
    std::array<QLabel *, 9> labFact{};
    QPlainTextEdit *txtRounds = nullptr;
    QPushButton *cmdSubstitute = nullptr;
    QPushButton *cmdVerify = nullptr;
    QPushButton *cmdPreview = nullptr;
    QPushButton *cmdExcel = nullptr;
    QPushButton *cmd_Back = nullptr;
    QPushButton *cmdExportCandidates = nullptr;
    QPushButton *cmdPublish = nullptr;
    bool m_concealed = false;
    QPushButton *cmdConduct = nullptr;
};

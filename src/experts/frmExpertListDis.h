#pragma once

#include "experts/ExpertForm.h"

// Shows every field of one expert read-only; opened from the expert list
// (screen 7) or the advanced search (screen 10) and returns there.
class frmExpertListDis : public ExpertFormScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmExpertListDis;

    frmExpertListDis(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

protected:
    void onActivate(const ScreenArgs &args) override;

private:
    void back();
    void showProjects();
    void showExpert(const QStringList &row);

    QPushButton *cmd_Back = nullptr;
    QPushButton *cmdProjects = nullptr;
    QLabel *labSuspension = nullptr;   // the suspension in force, if any
    QString m_expertId;                // the expert the screen was opened with
};

#pragma once

#include "experts/ExpertForm.h"

// Creates an expert: screen 8 for a regular expert, screen 14 for a
// temporary expert that joins the extraction in progress. The mode is read
// from CurrentScreen at every activation.
class frmNewExpert : public ExpertEditorScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmNewExpert;

    frmNewExpert(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

    // cmd_Save: SaveNewExpert.
    void SaveNewExpert();

protected:
    QString loadTitle() const override;
    void onLoad() override;
    void onActivate(const ScreenArgs &) override;
    void save() override { SaveNewExpert(); }
    void back() override;
    void afterClear() override;

private:
    bool temporaryMode() const { return m_state.nav.isCurrentScreen(ScreenId::DrawResultNewTemporary); }
};

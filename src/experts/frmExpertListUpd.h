#pragma once

#include "experts/ExpertForm.h"

// Changes the expert chosen with "[修改]" on the expert list.
class frmExpertListUpd : public ExpertEditorScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmExpertListUpd;

    frmExpertListUpd(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

    // cmd_Save: SaveExpertUpdate.
    void SaveExpertUpdate();

protected:
    QString loadTitle() const override { return QStringLiteral("专家详细信息"); }
    void onActivate(const ScreenArgs &) override;
    void save() override { SaveExpertUpdate(); }
    void back() override;

private:
    // Id of the row the list's "[修改]" was clicked on, "" when that row does
    // not exist.
    QString chosenExpertId() const;
    // Whether the current user sees 身份证号 and phone numbers masked.
    bool masked() const;
    // The expert as shown: on a server the save goes through only while the
    // stored record still equals it.
    QStringList m_shownRow;
    // Whether the expert's former units were read: only then does a save
    // rewrite them, so that a failed read never clears them.
    bool m_formerShown = false;
};

#pragma once

#include "shell/ChildScreen.h"

#include <array>

class QLabel;

// The description pane: a section title and one line per function.
class frmDisMsg : public ChildScreen {
    Q_OBJECT
public:
    enum Section { SystemSection = 0, ExpertSection = 6 };

    static constexpr Form kForm = Form::frmDisMsg;

    frmDisMsg(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);
    // Empties the title and all seven rows, then fills those of the section.
    void ShowSection(Section section);

protected:
    void onLoad() override;
    void onActivate(const ScreenArgs &) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeCornerPicture();

    QLabel *labTitle;
    std::array<QLabel *, 7> labTu{};
    std::array<QLabel *, 7> labT_Sub{};
    std::array<QLabel *, 7> labT_Text{};
    QLabel *pic1;
};

#pragma once

#include "extraction/CandidateFilter.h"
#include "extraction/DrawProcedures.h"
#include "data/DrawRecord.h"
#include "shell/ChildScreen.h"

#include <array>
#include <optional>

class PagedList;
class QTimer;

// The draw screen: criteria, the candidate list, the three kinds of draw and
// the confirmation of ticked candidates into the draw list.
class frmNewProSelExpert : public ChildScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmNewProSelExpert;

    frmNewProSelExpert(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

    int bannerWidthTwips() const override { return 11737; }

    DrawType extractionType() const { return m_type; }
    bool isRolling() const { return m_rolling; }
    const SelectionCriteria &criteria() const { return m_criteria; }
    // The round behind the candidate list on show, recorded when rows of it
    // are confirmed; none before the first draw.
    const std::optional<DrawRound> &roundOnShow() const { return m_round; }

public Q_SLOTS:
    // One step of the rolling display (the timer's handler).
    void tmeSelExp_Timer();

protected:
    void onLoad() override;
    void onActivate(const ScreenArgs &) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void com_Type_Click(int index);
    void cmdSearch_Click();
    void cmd_Clear_Click();
    void cmd_OK_Click();
    void cmd_Back_Click();
    void cmdAvoid_Click();
    void showAvoidance();

    void gatherCriteria();
    void showCandidates();
    // The candidates of the gathered criteria less the avoided experts, and a
    // new round over them.
    // Builds the candidates and the round over them; false (shown) when the
    // library's rules cannot be read.
    bool buildCandidates(const QString &roundType);
    // What the library's eligibility rules kept out of the last candidates.
    void showRules();
    void manualDraw();
    void randomDraw(qsizetype n);
    void startRoll();
    void stopRoll();
    // Ends a roll without a pick (activation).
    void endRoll();
    void setRollingControlsEnabled(bool enabled);
    // Writes what just happened to the library's draw trail; false (and the
    // failure shown) when it could not be written.
    bool recordEvent(DrawEvent event);
    bool recordDraw(const QString &kind = DrawEventKind::Draw);

    SelectionCriteria m_criteria;
    DrawType m_type = DrawType::Manual;
    bool m_rolling = false;
    bool m_rolledSinceStart = false;
    qsizetype m_lastRolledIndex = 0;
    TextTable m_picks;   // rows of the last confirmation
    std::optional<DrawRound> m_round;

    QLabel *labTitle = nullptr;
    QLabel *labWhere = nullptr;
    std::array<QLabel *, 19> labDis{};
    std::array<QLineEdit *, 6> txtDis{};
    QComboBox *com_Lin = nullptr;
    QComboBox *com_Zhicheng = nullptr;
    QComboBox *com_Type = nullptr;
    QLineEdit *txtNum = nullptr;
    QLabel *labExpertID = nullptr;
    QLabel *labRules = nullptr;
    QTimer *tmeSelExp = nullptr;
    QPushButton *cmdSearch = nullptr;
    QPushButton *cmd_Clear = nullptr;
    QPushButton *cmdAvoid = nullptr;
    QPushButton *cmd_OK = nullptr;
    QPushButton *cmd_Back = nullptr;
    QLabel *Label1 = nullptr;
    PagedList *m_list = nullptr;
};

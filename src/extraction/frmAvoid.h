#pragma once

#include "shell/AppState.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// 回避设置: the work units and experts kept out of every draw, and whether
// experts drawn in the last days are kept out too; the unit rule also
// reaches those who left a unit within some years, and every name of the
// unit's alias groups. Each rule set needs its reason. Shows how many of the
// given candidates each rule removes, as the rules are edited.
class frmAvoid : public QDialog {
    Q_OBJECT
public:
    // candidates: the candidates of the criteria on the draw screen.
    frmAvoid(AppState &state, const TextTable &candidates, QWidget *parent = nullptr);

    AvoidanceRules rules() const;

    // The library's experts whose name or Id contains the typed text.
    void cmdFind_Click();
    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdClear_Click();
    void cmdOK_Click();

private:
    void setRules(const AvoidanceRules &rules);
    void showCounts();
    void addAvoided(const QString &id, const QString &name);

    AppState &m_state;
    TextTable m_candidates;
    QLabel *labUnits = nullptr;
    QPlainTextEdit *txtUnits = nullptr;
    QLabel *labExperts = nullptr;
    QLineEdit *txtExpertName = nullptr;
    QPushButton *cmdFind = nullptr;
    QListWidget *lstLibrary = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdRemove = nullptr;
    QListWidget *lstAvoid = nullptr;
    QCheckBox *chkFormer = nullptr;
    QLineEdit *txtFormerYears = nullptr;
    QLabel *labFormer = nullptr;
    QLineEdit *txtUnitsReason = nullptr;
    QLineEdit *txtExpertsReason = nullptr;
    QLineEdit *txtRecentReason = nullptr;
    UnitRecords m_units;   // alias groups and former units of the library
    QCheckBox *chkRecent = nullptr;
    QLineEdit *txtDays = nullptr;
    QLabel *labDays = nullptr;
    QLabel *labCounts = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdClear = nullptr;
    QPushButton *cmdCancel = nullptr;
};

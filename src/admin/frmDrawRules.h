#pragma once

#include "data/EligibilityRules.h"
#include "shell/AppState.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// 设置 → 抽取规则 (administrators): who may be drawn at all, kept in the
// library so that every computer drawing from it follows the same rules.
// Each rule has its own box and is off until ticked.
class frmDrawRules : public QDialog {
    Q_OBJECT
public:
    frmDrawRules(AppState &state, QWidget *parent = nullptr);

    // The rules as the boxes stand, or what is wrong with them ("" when
    // nothing) in problem.
    EligibilityRules rules(QString *problem) const;

    // Checks the boxes, writes the rules in one transaction and closes the
    // dialog; bad input or a failed write leaves it open, the library as it
    // was.
    void cmdOK_Click();

private:
    void setRules(const EligibilityRules &rules);
    void enableBoxes();

    AppState &m_state;
    QCheckBox *chkAge, *chkWorkYears, *chkTitles, *chkPanelSize, *chkGap, *chkLimit;
    QLineEdit *txtAgeLimit, *txtWorkYears, *txtPanelSize, *txtGapDays, *txtLimitDays, *txtLimitCount;
    QList<QCheckBox *> chkTitle;   // one per title level, in TitleTypeTable order from row 1
    QStringList m_titleCodes;      // their codes
    QWidget *m_titleBox;
    QPushButton *cmdAliases, *cmdReconfirm;   // the alias groups and the list to reconfirm
    QPushButton *cmdOK, *cmdCancel;
};

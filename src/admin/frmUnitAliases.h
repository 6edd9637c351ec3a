#pragma once

#include "shell/AppState.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// 单位别名 (administrators, from 抽取规则): the names that mean one work unit,
// one group a line, so that avoiding a unit under one name avoids it under
// every other. Kept in the library for every computer drawing from it.
class frmUnitAliases : public QDialog {
    Q_OBJECT
public:
    frmUnitAliases(AppState &state, QWidget *parent = nullptr);

    // Checks the lines, writes the groups in one transaction and closes the
    // dialog; bad lines or a failed write leave it open, the library as it
    // was.
    void cmdOK_Click();

private:
    AppState &m_state;
    QLabel *labNote;
    QPlainTextEdit *txtAliases;
    QPushButton *cmdOK, *cmdCancel;
};

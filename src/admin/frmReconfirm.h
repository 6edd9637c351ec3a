#pragma once

#include "shell/AppState.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

// 待确认信息名单 (administrators, from 抽取规则): the experts whose details
// should be confirmed again, because they have neither sat on a panel nor
// had their record saved for longer than the library's rule allows.
class frmReconfirm : public QDialog {
    Q_OBJECT
public:
    frmReconfirm(AppState &state, QWidget *parent = nullptr);

    // Reads the list again from the library.
    void refresh();

private:
    AppState &m_state;
    QLabel *labCount;
    QTableWidget *grdExperts;
    QPushButton *cmdClose;
};

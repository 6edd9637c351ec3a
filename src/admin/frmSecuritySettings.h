#pragma once

#include "shell/AppState.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

// 设置 → 安全设置 (administrators): the library's settings on personal data,
// the idle lock and the supervised draw. They are kept in the library, so
// every computer using it follows them.
class frmSecuritySettings : public QDialog {
    Q_OBJECT
public:
    frmSecuritySettings(AppState &state, QWidget *parent = nullptr);

    // Writes the three settings in one transaction and closes the dialog; a
    // failure leaves them all as they were and the dialog open.
    void cmdOK_Click();

private:
    AppState &m_state;
    QCheckBox *chkMask;
    QLabel *labIdle;
    QSpinBox *txtIdle;
    QCheckBox *chkSupervised;
    QPushButton *cmdOK, *cmdCancel;
};

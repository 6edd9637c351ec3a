#pragma once

#include "files/RestorePoints.h"

#include <QDialog>

class QTableWidget;

// The restore points 更新专家库 offers: one row each (date, size, experts,
// extraction records, what the check found), newest first, the newest sound
// one chosen. 浏览… leaves the choice to the file dialog as before.
class frmRestorePoints : public QDialog {
    Q_OBJECT
public:
    explicit frmRestorePoints(const QList<RestorePoint> &points, QWidget *parent = nullptr);

    // The chosen restore point; empty when 浏览… was pressed.
    QString chosenPath() const { return m_chosen; }
    bool browse() const { return m_browse; }

private:
    void cmdOK_Click();
    void cmdBrowse_Click();

    QList<RestorePoint> m_points;
    QTableWidget *grdPoints;
    QString m_chosen;
    bool m_browse = false;
};

// The backup settings: how many restore points are kept (days, weeks,
// months) and a folder for the second backup (a USB stick, a network
// folder): a box for the path, 浏览… to pick it. An empty box means none.
class frmSecondBackup : public QDialog {
    Q_OBJECT
public:
    frmSecondBackup(const QString &current, const RetentionRule &rule, QWidget *parent = nullptr);
    QString folder() const;
    RetentionRule rule() const;

private:
    class QLineEdit *txtFolder;
    class QSpinBox *spnDaily;
    class QSpinBox *spnWeekly;
    class QSpinBox *spnMonthly;
};

#pragma once

#include "data/Outcome.h"
#include "shell/ChildScreen.h"

class QGroupBox;
class QProgressBar;

// Maintenance of the database: initialising it, importing initial expert
// data from a workbook, backing up and restoring the expert library, and the
// switch for the automatic backup at exit.
class frmDataInOut : public ChildScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmDataInOut;

    frmDataInOut(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

    void cmdClrDB_Click();
    void cmdDownLoadExp_Click();
    void cmdUpExp_Click();
    void cmdDBBak_Click();
    void cmdDBUpd_Click();
    void cmdImpAccess_Click();
    // The folder the exit backup is also written to (a USB stick).
    void cmdSecondBackup_Click();

protected:
    void onLoad() override;

private:
    QLabel *frameLabel(QWidget *frame, const QString &name, const QString &text, int left, int top, int width,
                       int height);
    bool requireAdministrator();
    void showOutcome(const Outcome &outcome);
    void showProgress(int done, int total);
    QString desktopFile(const QString &name) const;
    // Where the exit backup goes, as labOP6 names it.
    QString backupFolderText() const;

    QPushButton *cmdImpAccess = nullptr;
    QCheckBox *chkSaveDB = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
};

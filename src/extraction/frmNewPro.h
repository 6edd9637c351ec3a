#pragma once

#include "shell/ChildScreen.h"

#include <QList>
#include <QVector>

class PagedList;
class QLabel;
class QPushButton;

// The extraction result screen: the draw list with "[删除]" links, going back
// for more experts, adding a temporary expert, and storing the draw.
class frmNewPro : public ChildScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmNewPro;

    frmNewPro(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

    int bannerWidthTwips() const override { return 11895; }

    QPushButton *previewButton() const { return cmdPreview; }
    QPushButton *excelButton() const { return cmdExcel; }
    // The controls a report disables while it runs.
    QList<QWidget *> reportControls() const;

protected:
    void onActivate(const ScreenArgs &) override;

private:
    void showList();
    // The unsaved draw kept on disk as it now stands (removed once stored).
    void keepDraw();
    void deleteRow(int slot);
    void saveDrawList();
    // Before 完成: a panel that breaks the library's panel-size rule is
    // stored only when the operator says so; the warning and the answer go
    // into the operation log. False when nothing is to be stored.
    bool panelSizeAccepted();

    PagedList *m_list = nullptr;
    QLabel *labTitle = nullptr;
    QLabel *labTitleRet = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *cmdSelExpert = nullptr;
    QPushButton *cmdNewLinExp = nullptr;
    QPushButton *cmdSave = nullptr;
    QPushButton *cmdPreview = nullptr;
    QPushButton *cmdExcel = nullptr;
};

#pragma once

#include "shell/ChildScreen.h"

#include <QSet>
#include <QStringList>

class PagedList;
class QFrame;

// The expert list: ten experts to a page, filtered by name and status; the
// administrator may also open an expert for editing and delete experts.
class frmExpertList : public ChildScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmExpertList;

    frmExpertList(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

    PagedList *list() const { return m_list; }
    // The search of "检索": the trimmed name text and the selected status.
    void cmdSearch_Click();

protected:
    void onLoad() override;
    void onActivate(const ScreenArgs &) override;

private:
    void showList();
    void SetRedColor();
    void cmdDel_Click();
    void labOP_1_Click(int slot);
    void labOP_2_Click(int slot);
    void placeRules(int rightEnd, bool lastColumnRule);

    QLabel *labTitle = nullptr;
    QLabel *labName = nullptr;
    QLineEdit *txtName = nullptr;
    QLabel *labStatus = nullptr;
    QComboBox *comlabStatus = nullptr;
    QPushButton *cmdSearch = nullptr;
    QPushButton *cmdDel = nullptr;
    QLabel *Label1 = nullptr;
    QFrame *Line1 = nullptr;
    QFrame *Line2 = nullptr;
    QList<QFrame *> Line3;
    QList<QFrame *> Line4;
    PagedList *m_list = nullptr;
    bool m_fullRights = false;
    QSet<QString> m_suspended;   // experts suspended today, for the colouring
    // The filter of the list on show, which a page move keeps.
    QString m_shownName;
    QString m_shownStatus;
};

#pragma once

#include "experts/ExpertFilters.h"
#include "shell/ChildScreen.h"

#include <QList>
#include <QVector>

struct ReportHeaderCell;

class PagedList;

// The advanced search: up to thirteen criteria over the expert table, the
// result ten to a page with a link to the detail view, and the result list
// handed to the print preview and the spreadsheet export.
class frmSearchExpert : public ChildScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmSearchExpert;

    frmSearchExpert(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

    int bannerWidthTwips() const override { return 11737; }

    PagedList *list() const { return m_list; }
    // The criteria of the last search (or "NoRecord" in each after opening).
    const SearchCriteria &searchCriteria() const { return m_criteria; }
    // The six choice lists, whose texts the search report prints.
    QComboBox *comSex() const { return com_Sex; }
    QComboBox *comSta() const { return com_Sta; }
    QComboBox *comLin() const { return com_Lin; }
    QComboBox *comDegree() const { return com_Degree; }
    QComboBox *comZhicheng() const { return com_Zhicheng; }
    QComboBox *comStar() const { return com_Star; }
    QPushButton *previewButton() const { return cmdPreview; }
    QPushButton *excelButton() const { return cmdExcel; }

    // What a report disables while it runs, and the cells it prints above
    // the list.
    QList<QWidget *> reportControls() const;
    QVector<ReportHeaderCell> reportHeader() const;

    void cmdSearch_Click();
    void cmd_Clear_Click();

protected:
    void onLoad() override;
    void onActivate(const ScreenArgs &args) override;

private:
    // Hides the middle of the phone numbers of the results where the library asks it for this role.
    void maskPersonalData();
    void showList();
    void labOP_1_Click(int slot);
    void couple(QComboBox *clicked, QComboBox *other);

    QList<QLineEdit *> txtDis;   // txtDis(0) .. txtDis(7)
    QComboBox *com_Sex = nullptr;
    QComboBox *com_Sta = nullptr;
    QComboBox *com_Lin = nullptr;
    QComboBox *com_Degree = nullptr;
    QComboBox *com_Zhicheng = nullptr;
    QComboBox *com_Star = nullptr;
    QPushButton *cmdSearch = nullptr;
    QPushButton *cmd_Clear = nullptr;
    QPushButton *cmdPreview = nullptr;
    QPushButton *cmdExcel = nullptr;
    QLabel *Label1 = nullptr;
    PagedList *m_list = nullptr;
    SearchCriteria m_criteria;
};

#pragma once

#include "extraction/HistoryFilter.h"
#include "shell/ChildScreen.h"

#include <QList>
#include <QVector>

struct ReportHeaderCell;
class PagedList;
class QCalendarWidget;
class QLabel;
class QLineEdit;
class QPushButton;

// The history of stored draws: selection records of a date range joined with
// their experts, narrowed by profession and work unit.
class frmExpertHistory : public ChildScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmExpertHistory;

    frmExpertHistory(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

    // The criteria of the last search ("NoRecord" in every slot after an
    // activation); the reports print them in their header.
    const HistoryCriteria &historyCriteria() const { return m_criteria; }
    QPushButton *previewButton() const { return cmdPreview; }
    QPushButton *excelButton() const { return cmdExcel; }
    // The controls a report disables while it runs.
    QList<QWidget *> reportControls() const;

protected:
    void onLoad() override;
    void onActivate(const ScreenArgs &) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QVector<ReportHeaderCell> reportHeader() const;
    void search();
    void clearFields();
    void runFilterAndShow();
    // Opens the calendar of a date field on the field's date, or closes it.
    void toggleCalendar(QCalendarWidget *calendar, QLineEdit *field);
    void pickDate(QCalendarWidget *calendar, QLineEdit *field, const QDate &date);

    HistoryCriteria m_criteria;
    PagedList *m_list = nullptr;
    QLineEdit *txtFrom = nullptr;
    QLineEdit *txtTo = nullptr;
    QPushButton *cmdFrom = nullptr;
    QPushButton *cmdTo = nullptr;
    QCalendarWidget *MonthView1 = nullptr;
    QCalendarWidget *MonthView2 = nullptr;
    QLineEdit *txtProfession = nullptr;   // txtDis(0)
    QLineEdit *txtWorkUnit = nullptr;     // txtDis(1)
    QPushButton *cmdSearch = nullptr;
    QPushButton *cmd_Clear = nullptr;
    QPushButton *cmdPreview = nullptr;
    QPushButton *cmdExcel = nullptr;
    // The date field whose double click is still to be released.
    QObject *m_doubleClickField = nullptr;
};

#pragma once

#include "data/TextTable.h"
#include "reports/LogSeal.h"
#include "shell/ChildScreen.h"

#include <QList>
#include <QVector>

struct ReportHeaderCell;
class PagedList;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ReportPreview;

// 操作日志 (administrators): the operation log searched by date range,
// operator and kind, paged like every list, printed and exported through
// its template. The screen only reads the log.
class frmAuditLog : public ChildScreen {
    Q_OBJECT
public:
    static constexpr Form kForm = Form::frmAuditLog;

    frmAuditLog(AppState &state, ScreenNavigator &nav, QWidget *parent = nullptr);

    // The rows of the last search (column 0 the entry's Seq).
    const TextTable &rows() const { return m_rows; }
    // What the report prints above the list: the criteria of the last
    // search and the head of the log when it was read.
    QVector<ReportHeaderCell> reportHeader() const;
    QList<QWidget *> reportControls() const;

protected:
    void onActivate(const ScreenArgs &) override;

private:
    void search();
    void fillOperators();
    // Full texts of the clipped cells as their tool tips.
    void describeCells();

    PagedList *m_list = nullptr;
    TextTable m_rows;
    QStringList m_criteria;   // from, to, operator, kind, head: as the report prints them
    QLineEdit *txtFrom = nullptr;
    QLineEdit *txtTo = nullptr;
    QComboBox *cboOperator = nullptr;
    QComboBox *cboKind = nullptr;
    QPushButton *cmdSearch = nullptr;
    QPushButton *cmdPreview = nullptr;
    QPushButton *cmdExcel = nullptr;
    QPushButton *cmdSeal = nullptr;
    QLabel *labCount = nullptr;
};

// What the 日志封存单 of the state's library prints now, read in one snapshot.
Result<LogSealContent> ReadLogSealContent(const AppState &state);

// The 日志封存单 (administrators): reads the head, draws the page, records
// the seal in the log (the entry names the head it seals) and shows the page
// to print. Returns the preview, or nullptr after a message.
ReportPreview *ShowLogSeal(AppState &state, QWidget *owner);

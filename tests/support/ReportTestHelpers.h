#pragma once

#include "reports/Reports.h"
#include "reports/SpreadsheetEngine.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class OfficeProcess;
struct AppState;

// An in-memory spreadsheet for tests of the report flow. Every engine made by
// one FakeSpreadsheetLog shares that log, which keeps what the engines did
// and the last sheet they held. An opened file becomes a sheet of 40 empty
// rows (data rows carry no marks); each row remembers the number it had in
// the opened file ("origin"), and copies inserted by insertRowCopies carry
// their source's origin.
struct FakeSpreadsheetLog {
    struct Row {
        int origin = 0;
        QMap<int, QString> cells;
    };

    QStringList calls;   // "open PATH", "deleteRows 4 7", "setTexts 4 2 3x19", ...
    QList<Row> sheet;    // the last sheet, row 1 first
    QString openedPath;
    int enginesMade = 0;
    int enginesAlive = 0;
    // Throws SpreadsheetError when an operation whose name is listed here is
    // called ("open", "setTexts", "saveAsXls", "exportPdf", ...).
    QStringList failOn;
    // Called at every operation with its name, before it runs.
    std::function<void(const QString &operation)> onCall;
    // Pages of the PDF written by exportPdf.
    int pdfPages = 1;
    // Set by cancel(); every later operation throws. onCancel runs then.
    bool cancelled = false;
    std::function<void()> onCancel;

    // setPageFooter's text, and the pictures put in (their files' bytes:
    // the files may be gone after the fill).
    QString footer;
    struct Image {
        int row = 0;
        int column = 0;
        QByteArray png;
        int width = 0;
        int height = 0;
    };
    QList<Image> images;

    QString text(int row, int column) const;
    int origin(int row) const;
    int rowCount() const { return int(sheet.size()); }
    int countCalls(const QString &operation) const;
};

std::unique_ptr<SpreadsheetEngine> MakeFakeSpreadsheet(std::shared_ptr<FakeSpreadsheetLog> log);
// Sets state.services.makeSpreadsheet to fake engines and returns their log.
std::shared_ptr<FakeSpreadsheetLog> InstallFakeSpreadsheet(AppState &state);

// The folder of the templates in the source tree.
QString SourceTemplateFolder();
// Copies the report templates into the folder; false when one is missing.
bool CopyReportTemplates(const QString &folder);

// A list of n rows with the given number of columns: column 0 "K<k>", others
// "r<k>c<c>" (k from 1).
TextTable MakeReportList(int n, int columns);

// The office that the tests of one test program share through their
// LibreOffice engines: started by the first engine that needs it, ended
// after the last test. Tests of the office's own start and end make their
// own.
std::shared_ptr<OfficeProcess> SharedTestOffice();
// A LibreOffice engine working in SharedTestOffice().
std::unique_ptr<SpreadsheetEngine> MakeSharedOfficeEngine();

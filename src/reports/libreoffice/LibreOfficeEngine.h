#pragma once

#include "reports/SpreadsheetEngine.h"

#include <QString>
#include <memory>

// One headless LibreOffice process with its own temporary user profile and
// the UNO connection to it, started on first use. Engines that share it each
// work on documents of their own and close only those. When it has ended
// (crashed, killed, or cancelled by an engine) the next engine to use it
// starts a new one in its place. Destroying it ends the process and deletes
// the profile; the process also ends when the program ends in any way, even
// killed.
//
// It may be used from any thread; cancel() never waits.
class OfficeProcess {
public:
    // With an empty path it finds "soffice" on the search path or in the
    // usual program folder. A program that cannot be started makes the first
    // operation of an engine on it throw SpreadsheetError.
    explicit OfficeProcess(const QString &sofficePath = QString());
    ~OfficeProcess();
    OfficeProcess(const OfficeProcess &) = delete;
    OfficeProcess &operator=(const OfficeProcess &) = delete;

    // The process group of the office while it runs, 0 before it has started.
    qint64 processGroup() const;
    // The documents open in the office (0 when it does not run): each engine
    // closes its own, so this is 0 between reports.
    int openDocuments();
    // Ends the office at once, whatever an engine is doing in it: a call
    // waiting in the office cannot be stopped any other way. Every engine
    // working on it then fails; the next one to open a workbook starts a new
    // office.
    void cancel();

private:
    friend class LibreOfficeEngine;
    class Impl;
    std::unique_ptr<Impl> d;
};

// The spreadsheet engine on LibreOffice Calc, working in the given office.
// Its cancel() cancels that office.
std::unique_ptr<SpreadsheetEngine> MakeLibreOfficeEngineOn(std::shared_ptr<OfficeProcess> office);

// An engine with an office of its own, so that engines never share a profile
// or a lock; the office ends when the engine is destroyed.
//
// The program's main() sets Services::makeSpreadsheet = MakeLibreOfficeEngine.
std::unique_ptr<SpreadsheetEngine> MakeLibreOfficeEngine();
// The same with the office's start program given.
std::unique_ptr<SpreadsheetEngine> MakeLibreOfficeEngineAt(const QString &sofficePath);

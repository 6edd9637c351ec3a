#pragma once

#include "reports/SpreadsheetEngine.h"

#include <memory>

// The spreadsheet engine on LibreOffice Calc. Each engine starts its own
// headless office process with its own temporary user profile on first use,
// so that engines never share a profile or a lock, and ends the process and
// deletes the profile when it is destroyed.
//
//
// The program's main() sets Services::makeSpreadsheet = MakeLibreOfficeEngine.
// It finds "soffice" on the search path or in the usual program folder.
std::unique_ptr<SpreadsheetEngine> MakeLibreOfficeEngine();
// The same with the office's start program given; a program that cannot be
// started makes the first operation throw SpreadsheetError.
std::unique_ptr<SpreadsheetEngine> MakeLibreOfficeEngineAt(const QString &sofficePath);

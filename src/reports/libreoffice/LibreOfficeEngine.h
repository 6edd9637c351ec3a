#pragma once

#include "reports/SpreadsheetEngine.h"

#include <memory>

// The spreadsheet engine on LibreOffice Calc. Each engine starts its own
// headless office process with its own temporary user profile on first use,
// so that engines never share a profile or a lock, and ends the process and
// deletes the profile when it is destroyed.
//
// sofficePath: the office's start program; empty finds "soffice" on the
// search path or in the usual program folder. A path that cannot be started
// makes the first operation throw SpreadsheetError.
std::unique_ptr<SpreadsheetEngine> MakeLibreOfficeEngine(const QString &sofficePath = QString());

#pragma once

#include <QString>

// The criterion text the search, draw and history screens put in every
// criterion on activation: it matches no record, so they open empty.
inline const QString kNoRecord = QStringLiteral("NoRecord");

#pragma once

#include <QString>

struct DataStore;

// Hiding the middle of 身份证号 and phone numbers from the roles that do not
// administer the library, where the library's setting asks for it.

// 110101********1234: the region and the last four kept.
QString MaskIdNumber(const QString &id);
// 138****5678: the network prefix and the last four kept.
QString MaskPhone(const QString &phone);

// Whether the user of role (0 administrator) sees them masked in store's
// library: the setting MaskPersonalData is on and the role is not the
// administrator's. A setting that cannot be read counts as on for those
// roles: personal data is never shown by mistake.
bool MasksPersonalData(const DataStore &store, int role);

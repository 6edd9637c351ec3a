#pragma once

#include <QString>

struct DataStore;
class TextTable;

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

// The columns of a list that hold personal data; -1 for one it lacks.
struct PersonalColumns {
    int phone = -1;
    int idNumber = -1;
};
// The phone column of a draw-list row (and of every list built like one:
// candidates, history).
inline constexpr PersonalColumns kDrawRowColumns{7, -1};

// Masks those columns in every row.
void MaskRows(TextTable &rows, PersonalColumns columns);
// Masks them when the user of role sees personal data masked; returns
// whether it did.
bool MaskRowsFor(const DataStore &store, int role, TextTable &rows, PersonalColumns columns);

// What a value shown masked and sent back unchanged stands for: stored when
// shown is a mask (stored's, or any text with '*' that masking leaves as it
// is), else shown as it is. Keeps a list or form that was shown masked from
// writing the mask over the real value.
QString UnmaskedPhone(const QString &shown, const QString &stored);
QString UnmaskedIdNumber(const QString &shown, const QString &stored);

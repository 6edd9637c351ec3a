#include "data/PersonalData.h"

#include "data/LibrarySettings.h"
#include "data/TextTable.h"

namespace {

// Keeps head characters in front and tail behind, the rest as '*'. A value
// too short for that keeps a third at each end, so something is always hidden.
QString maskMiddle(const QString &value, int head, int tail)
{
    const QString text = value.trimmed();
    const int n = int(text.size());
    if (n == 0)
        return value;
    if (n <= head + tail) {
        head = n / 3;
        tail = n / 3;
    }
    return text.left(head) + QString(n - head - tail, QLatin1Char('*')) + text.right(tail);
}

}   // namespace

QString MaskIdNumber(const QString &id) { return maskMiddle(id, 6, 4); }

QString MaskPhone(const QString &phone) { return maskMiddle(phone, 3, 4); }

bool MasksPersonalData(const DataStore &store, int role)
{
    if (role == 0)
        return false;
    const Result<QString> setting = ReadLibrarySetting(store, LibrarySetting::MaskPersonalData, QStringLiteral("0"));
    return !setting || SettingIsOn(setting.value());
}

void MaskRows(TextTable &rows, PersonalColumns columns)
{
    auto maskColumn = [&rows](qsizetype r, int column, QString (*mask)(const QString &)) {
        if (column >= 0 && column < rows.cellCount(r))
            rows.setCell(r, column, mask(rows.cell(r, column).toString()));
    };
    for (qsizetype r = 0; r < rows.count(); ++r) {
        maskColumn(r, columns.phone, MaskPhone);
        maskColumn(r, columns.idNumber, MaskIdNumber);
    }
}

bool MaskRowsFor(const DataStore &store, int role, TextTable &rows, PersonalColumns columns)
{
    if (!MasksPersonalData(store, role))
        return false;
    MaskRows(rows, columns);
    return true;
}

namespace {

// A value with '*' that masking leaves as it is can only be a mask: no
// phone or 身份证号 is written that way. It stands for stored, even where the
// mask was made from a longer text than the library kept.
QString unmasked(const QString &shown, const QString &stored, QString (*mask)(const QString &))
{
    if (shown == stored)
        return shown;
    const bool isMask = shown == mask(stored) || (shown.contains(QLatin1Char('*')) && mask(shown) == shown);
    return isMask ? stored : shown;
}

}   // namespace

QString UnmaskedPhone(const QString &shown, const QString &stored) { return unmasked(shown, stored, MaskPhone); }

QString UnmaskedIdNumber(const QString &shown, const QString &stored) { return unmasked(shown, stored, MaskIdNumber); }

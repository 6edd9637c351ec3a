#include "data/PersonalData.h"

#include "data/LibrarySettings.h"

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

#include "app/BackupListing.h"

#include "files/DataFolder.h"
#include "files/RestorePoints.h"

#include <QDir>
#include <QFileInfo>

BackupListing ListBackups(const QString &dataDir)
{
    BackupListing listing;
    if (dataDir.isEmpty() || !QFileInfo(dataDir).isDir()) {
        listing.exitCode = 1;
        listing.errorOutput = QStringLiteral("找不到数据文件夹“%1”。\n").arg(QDir::toNativeSeparators(dataDir));
        return listing;
    }
    const QString backupFolder = BackupFolderPath(dataDir);
    // Only the default password is tried: the command asks for none, and a
    // copy under the library's own password is named as such.
    const QList<RestorePoint> points = ListRestorePoints(backupFolder, {QString()});
    if (points.isEmpty()) {
        listing.errorOutput =
            QStringLiteral("“%1”中没有还原点。\n").arg(QDir::toNativeSeparators(RestorePointFolder(backupFolder)));
        return listing;
    }
    for (const RestorePoint &point : points)
        listing.output += RestorePointLine(point) + QLatin1Char('\n');
    return listing;
}

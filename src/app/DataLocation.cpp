#include "app/DataLocation.h"

#include "data/Database.h"
#include "reports/Reports.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool HoldsTemplates(const QString &dir)
{
    for (ReportKind kind : {ReportKind::Selection, ReportKind::Search, ReportKind::History})
        if (QFileInfo(TemplatePath(dir, kind)).isFile())
            return true;
    return false;
}

DataLocation ResolveDataLocation(const QString &programDir, const QString &explicitDataDir, const QString &userDataDir)
{
    const QString program = QDir::cleanPath(QDir(programDir).absolutePath());
    const QString share = QDir::cleanPath(QDir(program).absoluteFilePath(kInstalledShareFolder));
    const bool templatesBeside = HoldsTemplates(program);
    const bool portable = templatesBeside || QFileInfo(DataFilePath(program)).isFile();

    DataLocation where;
    // Templates beside the program win; an installed tree has them in share.
    where.templateDir = templatesBeside || !QFileInfo(share).isDir() ? program : share;
    if (!explicitDataDir.isEmpty()) {
        where.dataDir = QDir::cleanPath(QDir(explicitDataDir).absolutePath());
        where.portable = where.dataDir == program;
    } else if (portable) {
        where.dataDir = program;
        where.portable = true;
    } else {
        // No data folder known (no home folder): left empty, and refused by
        // PrepareDataFolder rather than falling back to the current folder.
        where.dataDir = userDataDir.isEmpty() ? QString() : QDir::cleanPath(QDir(userDataDir).absolutePath());
        where.portable = false;
    }
    return where;
}

QString PrepareDataFolder(const QString &dataDir)
{
    if (dataDir.isEmpty())
        return QStringLiteral("找不到存放数据的文件夹，请用 --data-dir 指定一个文件夹。");
    const QFileInfo info(dataDir);
    if (info.exists() && !info.isDir())
        return QStringLiteral("“%1”不是文件夹。").arg(QDir::toNativeSeparators(dataDir));
    if (info.exists())
        return QString();
    // The library holds personal data: a folder the program makes is its
    // owner's alone whatever the umask (a folder the user made stays as is).
    if (!QDir().mkpath(dataDir) ||
        !QFile::setPermissions(dataDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
        return QStringLiteral("无法创建数据文件夹“%1”。").arg(QDir::toNativeSeparators(dataDir));
    return QString();
}

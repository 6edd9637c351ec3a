#include "shell/Navigation.h"

void InitPathTitles(Navigation &nav)
{
    nav.PathTitles = QVector<QStringList>(kScreenCount + 1, QStringList(kPathLevels, QString()));
    for (const ScreenDef &row : kScreens)
        for (size_t level = 0; level < row.titles.size(); ++level)
            nav.PathTitles[ScreenNumber(row.id)][level] = QString::fromUtf8(row.titles[level]);
    nav.CurrentScreen = 1;
}

QString BuildPath(const Navigation &nav)
{
    if (nav.CurrentScreen < 1 || nav.CurrentScreen >= nav.PathTitles.size())
        return QString();
    const QStringList &row = nav.PathTitles[nav.CurrentScreen];
    QString path = row.value(0);
    for (int level = 1; level < kPathLevels; ++level) {
        const QString title = row.value(level);
        if (!title.trimmed().isEmpty())
            path += QStringLiteral(" -> ") + title;
    }
    return path;
}

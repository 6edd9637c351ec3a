#include "data/DataSource.h"

#include <QDir>
#include <QUrl>
#include <QUrlQuery>

QString DataSourceDisplayName(const DataSource &source, const QString &defaultFile)
{
    if (!source.isServer())
        return QDir::toNativeSeparators(source.path.isEmpty() ? defaultFile : source.path);
    QUrl url(source.uri);
    if (!url.isValid())
        return source.uri.section(QLatin1Char('@'), -1);   // never show what may be a password
    url.setPassword(QString());
    QUrlQuery query(url);
    query.removeAllQueryItems(QStringLiteral("password"));
    url.setQuery(query);
    return url.toString();
}

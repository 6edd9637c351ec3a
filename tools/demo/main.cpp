// kestrune-demo-db --experts N [--selections M] [--projects P] [--seed S] --out FILE
#include "DemoDatabase.h"

#include "data/DbError.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    DemoOptions options;
    QString out;
    bool ok = true;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        const QString value = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == "--experts") {
            options.experts = value.toInt(&ok);
            ++i;
        } else if (a == "--selections") {
            options.selections = value.toInt(&ok);
            ++i;
        } else if (a == "--projects") {
            options.projects = value.toInt(&ok);
            ++i;
        } else if (a == "--seed") {
            options.seed = value.toULongLong(&ok);
            ++i;
        } else if (a == "--out") {
            out = value;
            ++i;
        } else {
            ok = false;
        }
        if (!ok)
            break;
    }
    if (!ok || out.isEmpty() || options.experts < 0 || options.selections < 0 || options.projects < 0) {
        std::fprintf(stderr,
                     "usage: kestrune-demo-db --experts N [--selections M] [--projects P] [--seed S] --out FILE\n");
        return 2;
    }
    if (QFileInfo::exists(out)) {
        std::fprintf(stderr, "%s exists already; choose another file\n", qPrintable(out));
        return 1;
    }
    try {
        WriteDemoDatabase(out, options);
    } catch (const DbError &e) {
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    if (options.projects > 0)
        std::printf("%s: %d experts, %d extraction records, %d projects\n", qPrintable(out), options.experts,
                    options.selections, options.projects);
    else
        std::printf("%s: %d experts, %d extraction records\n", qPrintable(out), options.experts, options.selections);
    return 0;
}

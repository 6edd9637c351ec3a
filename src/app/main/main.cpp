#include "app/CommandLine.h"
#include "app/Composition.h"
#include "app/DataLocation.h"
#include "data/DbError.h"
#include "reports/SpreadsheetEngine.h"
#include "reports/libreoffice/LibreOfficeEngine.h"
#include "data/Schema.h"
#include "shell/AppState.h"
#include "files/DataFolder.h"
#include "files/FileCopy.h"
#include "shell/KestruneApplication.h"
#include "shell/frmLogin.h"
#include "ui/FieldNames.h"
#include "ui/Guarded.h"

#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QStandardPaths>
#include <QTranslator>

#include <cstdio>

int main(int argc, char **argv)
{
    const QString version = QStringLiteral(KESTRUNE_VERSION);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // --help, --version and a wrong command line end here: no window, no file.
    const CommandLine commandLine = ParseCommandLine(arguments, version);
    if (!commandLine.run) {
        std::fputs(commandLine.output.toLocal8Bit().constData(), stdout);
        std::fputs(commandLine.errorOutput.toLocal8Bit().constData(), stderr);
        return commandLine.exitCode;
    }

    // The user's data folder is named after the program, whatever the file
    // is called.
    QCoreApplication::setApplicationName(QStringLiteral("kestrune"));
    QCoreApplication::setApplicationVersion(version);
    KestruneApplication app(argc, argv);
    // The exit sequence decides when the program ends, not the last window.
    app.setQuitOnLastWindowClosed(false);
    // Desktops match the window to its desktop entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.kestrune.Kestrune"));
    // Qt's own texts (the buttons of message boxes, the file dialogs) in
    // Chinese like everything else the user sees.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTexts);

    const DataLocation where = ResolveDataLocation(QCoreApplication::applicationDirPath(), commandLine.dataDir,
                                                   QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    AppState state;
    state.appDir = where.dataDir;
    state.templateDir = where.templateDir;
    state.portable = where.portable;
    state.services = Services::real();
    state.services.makeSpreadsheet = [] { return MakeLibreOfficeEngine(); };

    const QString folderProblem = PrepareDataFolder(where.dataDir);
    if (!folderProblem.isEmpty())
        ReportFatal(folderProblem);
    try {
        // The first start creates the database; an existing file that cannot
        // be opened is never touched.
        PrepareDataFile(state.appDir);
    } catch (const DbError &e) {
        ReportFatal(e.message());
    }

    frmLogin login(state);
    NameFieldsByCaptions(&login);
    std::unique_ptr<MDIFrm> main;
    QObject::connect(&login, &frmLogin::cancelled, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&login, &frmLogin::loggedIn, &app, Guarded([&] {
        main = MakeMainWindow(state);
        main->show();
        main->start();
    }));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect g = screen->availableGeometry();
        login.move(g.center() - QPoint(login.width() / 2, login.height() / 2));
    }
    login.show();
    return app.exec();
}

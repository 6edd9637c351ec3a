#include "app/BackupListing.h"
#include "app/CommandLine.h"
#include "app/Composition.h"
#include "app/DataLocation.h"
#include "app/SourceStartup.h"
#include "app/Startup.h"
#include "data/DbError.h"
#include "reports/SpreadsheetEngine.h"
#include "reports/libreoffice/LibreOfficeEngine.h"
#include "data/Schema.h"
#include "files/DataFileProblem.h"
#include "files/RunFolders.h"
#include "shell/AppState.h"
#include "shell/KestruneApplication.h"
#include "shell/frmConnection.h"
#include "shell/frmLogin.h"
#include "ui/FieldNames.h"
#include "ui/Guarded.h"

#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

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
    // Listing the restore points needs no display and opens no window.
    if (commandLine.listBackups) {
        QCoreApplication core(argc, argv);
        const DataLocation where =
            ResolveDataLocation(QCoreApplication::applicationDirPath(), commandLine.dataDir,
                                QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
        const BackupListing listing = ListBackups(where.dataDir);
        std::fputs(listing.output.toLocal8Bit().constData(), stdout);
        std::fputs(listing.errorOutput.toLocal8Bit().constData(), stderr);
        return listing.exitCode;
    }
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
    state.store.appDir = where.dataDir;
    state.templateDir = where.templateDir;
    state.portable = where.portable;
    state.services = Services::real();
    state.services.makeSpreadsheet = [] { return MakeLibreOfficeEngine(); };

    // The data folder is needed in server mode too: the exit backup and the
    // safety copies are local files.
    const QString folderProblem = PrepareDataFolder(where.dataDir);
    if (!folderProblem.isEmpty()) {
        ReportFatal(folderProblem);
        return EXIT_FAILURE;
    }
    // One program per data folder, whichever library it opens: the backups
    // and safety copies are written there in either case.
    const std::unique_ptr<QSettings> settings = OpenUserSettings();
    Startup folder(state.store.appDir);
    const bool serverStart = InitialSource(commandLine.serverUri, LoadSavedConnection(*settings)).isServer();
    if (const Outcome prepared = folder.prepare(serverStart); !prepared) {
        ReportFatal(prepared.message(), prepared.detail());
        return EXIT_FAILURE;
    }

    // Previews and notes of exports in progress stay inside the data folder,
    // where the next start clears what a killed run left.
    if (EnsureRunArea(state.store.appDir))
        state.services.runArea = RunAreaPath(state.store.appDir);

    const std::shared_ptr<SecretStore> secrets = DesktopSecretStore();
    QWidget *dialogParent = nullptr;
    SourceStartupServices startup;
    startup.messages = state.services.messages.get();
    startup.secrets = secrets.get();
    state.secrets = secrets;
    startup.askPassword = [&](const ServerAddress &address) { return AskServerPassword(address, dialogParent); };
    // A server named on the command line is for this run: while the start
    // settles on it, a corrected address is used but not saved.
    bool oneOffSource = !commandLine.serverUri.isEmpty();
    startup.editConnection = [&](const ConnectionChoice &current) -> std::optional<ConnectionChoice> {
        ConnectionDialogServices services{
            state.services.messages, secrets, settings.get(),
            [](const QString &uri, const QString &password) { return ProbeServer(uri, password); }, !oneOffSource};
        frmConnection dialog(current.connection, current.password, DataFilePath(state.store.appDir), services,
                             dialogParent);
        NameFieldsByCaptions(&dialog);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return ConnectionChoice{dialog.connection(), dialog.password()};
    };
    // The first start creates the database; an existing file that cannot be
    // opened is never touched and ends the program. A server that cannot be
    // used leaves the choice to change the connection or to end.
    startup.open = [&](const DataSource &source) { PrepareLibrary(state.store, source); };
    startup.dataFile = DataFilePath(state.store.appDir);
    startup.askLibraryKey = [&](const QString &file, bool refused) {
        return AskLibraryKey(*state.services.dialogs, file, refused, true, dialogParent);
    };
    const auto openSource = [&](const DataSource &source) {
        try {
            return OpenSource(source, startup);
        } catch (const DbError &e) {
            // A data file that does not open is told apart by why: a file the
            // user may not read is no reason to replace it with an old copy.
            QString told;
            if (!source.isServer())
                told = DataFileProblemMessage(state.store.appDir,
                                              source.path.isEmpty() ? DataFilePath(state.store.appDir) : source.path,
                                              source.key);
            ReportFatal(told.isEmpty() ? e.sentence() : told, e.detail());
        }
        return std::optional<DataSource>();
    };
    if (!openSource(InitialSource(commandLine.serverUri, LoadSavedConnection(*settings))))
        return FatalReported() ? EXIT_FAILURE : 0;
    // From the login window on, a connection chosen is the user's choice.
    oneOffSource = false;

    // The check reads the file with the key it was opened with.
    folder.setLibraryKey(state.store.source.key);
    frmLogin login(state);
    NameFieldsByCaptions(&login);
    // A damaged data file is reported as soon as the check finds it, and the
    // main window never opens on one. A server keeps its own data sound.
    if (state.store.library().checksPages())
        folder.startIntegrityCheck(&login, [&state](const QString &message) {
            // The user may have chosen another library from the login window.
            if (state.store.library().checksPages())
                ReportFatal(message);
        });
    std::unique_ptr<MDIFrm> main;
    QObject::connect(&login, &frmLogin::cancelled, &app, Guarded([] { QCoreApplication::exit(0); }));
    // A connection changed from the login window takes effect at once: the
    // users are those of the library now chosen.
    QObject::connect(&login, &frmLogin::connectionRequested, &app, Guarded([&] {
        dialogParent = &login;
        // The dialog opens on the source in use, which may have come from
        // the command line rather than from the saved connection.
        const ConnectionChoice current = ChoiceOfSource(state.store.source, LoadSavedConnection(*settings));
        const std::optional<ConnectionChoice> choice = startup.editConnection(current);
        if (!choice)
            return;
        if (!openSource(SourceOfChoice(*choice))) {
            login.close();
            return;
        }
        login.activate();
    }));
    QObject::connect(&login, &frmLogin::loggedIn, &app, Guarded([&] {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const QString damaged = state.store.library().checksPages() ? folder.integrityReport() : QString();
        QGuiApplication::restoreOverrideCursor();
        if (!damaged.isEmpty()) {
            ReportFatal(damaged);
            return;
        }
        main = MakeMainWindow(state);
        main->show();
        main->start();
    }));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect g = screen->availableGeometry();
        login.move(g.center() - QPoint(login.width() / 2, login.height() / 2));
    }
    login.show();
    const int status = app.exec();
    return FatalReported() ? EXIT_FAILURE : status;
}

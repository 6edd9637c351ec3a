#include "app/Composition.h"
#include "app/Startup.h"
#include "reports/SpreadsheetEngine.h"
#include "reports/libreoffice/LibreOfficeEngine.h"
#include "data/Schema.h"
#include "shell/AppState.h"
#include "shell/KestruneApplication.h"
#include "shell/frmLogin.h"
#include "ui/Guarded.h"

#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTranslator>

int main(int argc, char **argv)
{
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

    AppState state;
    state.appDir = QDir(QCoreApplication::applicationDirPath()).absolutePath();
    state.services = Services::real();
    state.services.makeSpreadsheet = [] { return MakeLibreOfficeEngine(); };

    Startup startup(state.appDir);
    if (const Outcome prepared = startup.prepare(); !prepared)
        ReportFatal(prepared.message, prepared.detail);

    frmLogin login(state);
    // A damaged data file is reported as soon as the check finds it, and the
    // main window never opens on one.
    startup.startIntegrityCheck(&login, [](const QString &message) { ReportFatal(message); });
    std::unique_ptr<MDIFrm> main;
    QObject::connect(&login, &frmLogin::cancelled, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&login, &frmLogin::loggedIn, &app, Guarded([&] {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const QString damaged = startup.integrityReport();
        QGuiApplication::restoreOverrideCursor();
        if (!damaged.isEmpty())
            ReportFatal(damaged);
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

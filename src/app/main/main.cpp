#include "app/Composition.h"
#include "data/DbError.h"
#include "reports/SpreadsheetEngine.h"
#include "reports/libreoffice/LibreOfficeEngine.h"
#include "data/Schema.h"
#include "shell/AppState.h"
#include "files/DataFolder.h"
#include "files/FileCopy.h"
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

    try {
        // The first start creates the database; an existing file that cannot
        // be opened is never touched.
        PrepareDataFile(state.appDir);
    } catch (const DbError &e) {
        ReportFatal(e.message());
    }

    frmLogin login(state);
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

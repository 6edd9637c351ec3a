#pragma once

#include <QApplication>
#include <functional>

// The application object. It is the one top-level handler of database
// failures that no screen handles: it shows the engine's message in a
// critical box titled "Kestrune" and ends the program.
class KestruneApplication : public QApplication {
public:
    KestruneApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // Shows a fatal failure and ends the program.
    static void reportFatal(const QString &message);
};

#include "shell/KestruneApplication.h"

#include "ui/Guarded.h"

KestruneApplication::KestruneApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool KestruneApplication::notify(QObject *receiver, QEvent *event)
{
    // The last net only: reports and ends, it handles nothing.
    bool result = false;
    RunGuarded([&] { result = QApplication::notify(receiver, event); });
    return result;
}

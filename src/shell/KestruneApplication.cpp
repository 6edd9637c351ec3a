#include "shell/KestruneApplication.h"

#include "data/DbError.h"
#include "ui/Services.h"

#include <QMessageBox>
#include <cstdlib>

KestruneApplication::KestruneApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool KestruneApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const DbError &e) {
        reportFatal(e.userText());
    } catch (const std::exception &e) {
        reportFatal(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void KestruneApplication::reportFatal(const QString &message)
{
    QMessageBox::critical(nullptr, kAppTitle, message);
    // Nothing more may run on a state the failure left behind.
    std::_Exit(EXIT_FAILURE);
}

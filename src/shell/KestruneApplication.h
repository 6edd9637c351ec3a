#pragma once

#include <QApplication>

// The application object. Handlers that can fail run guarded (ui/Guarded.h)
// and never let an exception into Qt; should one still arrive here, it takes
// the same fatal path instead of ending the program without a word.
class KestruneApplication : public QApplication {
public:
    KestruneApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

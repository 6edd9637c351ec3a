#pragma once

#include "data/Outcome.h"
#include "files/DataFolder.h"

#include <QString>
#include <functional>
#include <memory>

class QObject;
class QThread;

// What runs before the main window: one program per data folder, the
// removal of what a killed run left behind, and the engine's integrity check of the data file, which reads every page
// (about as long as loading the tables) and so runs while the login window waits.
class Startup {
public:
    explicit Startup(QString appDir);
    ~Startup();   // waits for a check that still runs
    Startup(const Startup &) = delete;
    Startup &operator=(const Startup &) = delete;

    // Takes the data folder for this program and removes left-over staged
    // copies and temporary folders; the library itself is opened after it.
    // Succeeds when the program may go on, otherwise says what to tell the
    // user before it ends; a refused second copy changes nothing.
    // serverLibrary: this start is for a library on a server, so that a
    // refusal speaks of the data folder rather than a data file.
    Outcome prepare(bool serverLibrary = false);

    // Starts the integrity check in the background. When it finds damage,
    // whenDamaged runs on context's thread with the message for the user.
    // The library's own password, once start-up knows it (empty for the
    // default key); set before the check starts.
    void setLibraryKey(const QString &key) { m_key = key; }
    void startIntegrityCheck(QObject *context, std::function<void(const QString &message)> whenDamaged);
    // Waits for the check (starting it when it never ran): "" when the data
    // file is sound, otherwise the message naming the newest sound copy.
    QString integrityReport();

private:
    QString m_appDir;
    DataFileLock m_lock;
    std::unique_ptr<QThread> m_check;
    QString m_report;
    QString m_key;
};

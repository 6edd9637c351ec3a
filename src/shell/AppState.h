#pragma once

#include "data/Tables.h"
#include "data/Vocabulary.h"
#include "lists/PagingState.h"
#include "shell/DrawWorkspace.h"
#include "shell/Navigation.h"
#include "shell/Session.h"
#include "ui/Services.h"

#include <memory>

class SecretStore;

// The program-wide state: one instance is created at start-up and handed to
// the windows, and every test builds a fresh one. Logic takes the part it
// works on (the library cache, the session, the draw, the navigation), not
// the whole.
struct AppState {
    Services services;
    // store.appDir is the data folder: ProSys.mdb, the backup folder and the
    // safety copies. The report templates are read from templateDir. In
    // portable use both are the program's own folder; installed, the data is
    // in the user's data folder and the templates in the share folder.
    DataStore store;
    QString templateDir;
    // The data lives in the program's own folder, which texts may then call
    // the installation folder.
    bool portable = true;

    Session session;
    Navigation nav;
    DrawWorkspace draw;

    bool AutoBackupOn = true;

    // The desktop's secret service, where a library password the user chose
    // to remember is kept; none in tests that do not give one.
    std::shared_ptr<SecretStore> secrets;

    PagingState paging;

    // Working lists of the list screens (column 0 is the record key).
    TextTable ExpertListRows;
    TextTable SearchResultRows;
    TextTable HistoryList;

    QDate today() const { return services.clock->today(); }
    MessageService &messages() const { return *services.messages; }
};

#pragma once

#include "data/Tables.h"
#include "data/Vocabulary.h"
#include "lists/PagingState.h"
#include "shell/Screens.h"
#include "ui/Services.h"

#include <QStringList>
#include <QVector>

// Every program-wide value lives here; one instance is created at start-up and
// handed to the windows, and every test builds a fresh one.
struct AppState : DataStore {
    Services services;

    // appDir (DataStore) is the data folder: ProSys.mdb, the backup folder and
    // the safety copies. The report templates are read from templateDir. In
    // portable use both are the program's own folder; installed, the data is
    // in the user's data folder and the templates in the share folder.
    QString templateDir;
    // The data lives in the program's own folder, which texts may then call
    // the installation folder.
    bool portable = true;

    // Set once by a successful login.
    QString CurrentUserId;
    int CurrentUserRole = -1;   // 0 administrator; any other value has restricted rights
    QStringList RoleNames;
    bool isAdministrator() const { return CurrentUserRole == 0; }

    // Screen numbers and the path line.
    QVector<QStringList> PathTitles;   // rows 1..30 used, each kPathLevels titles
    int CurrentScreen = 1;
    bool isCurrentScreen(ScreenId id) const { return CurrentScreen == ScreenNumber(id); }

    bool AutoBackupOn = true;
    bool SearchReturn = false;
    bool DrawUnsaved = false;
    QString SelectedExpertId;

    PagingState paging;

    // Working lists of the list screens (column 0 is the record key).
    TextTable ExpertListRows;
    TextTable SearchResultRows;
    TextTable CandidateList;
    TextTable DrawList;     // Id, Name, Sex, birth_date, Company_name, cong_shi_zhuanye, zige_name, Mobile
    TextTable HistoryList;

    QDate today() const { return services.clock->today(); }
    MessageService &messages() const { return *services.messages; }
};

void InitRoleNames(AppState &state);
void InitPathTitles(AppState &state);
// The path line of CurrentScreen: level 1, then " -> " and each further
// level that is not blank.
QString BuildPath(const AppState &state);

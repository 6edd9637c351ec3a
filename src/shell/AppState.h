#pragma once

#include "data/DrawRecord.h"
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
    TextTable DrawList;   // Id, Name, Sex, birth_date, Company_name, cong_shi_zhuanye, zige_name, Mobile
    TextTable HistoryList;

    // The rounds behind DrawList and the project it is stored under.
    DrawSession DrawRecord;
    // Who is kept out of every draw until the rules are cleared.
    AvoidanceRules Avoidance;
    // The project chosen with "[查看]" on the project list.
    QString SelectedProjectId;

    QDate today() const { return services.clock->today(); }
    MessageService &messages() const { return *services.messages; }
};

void InitRoleNames(AppState &state);
// A new draw list begins: the list and the rounds behind it are emptied.
void StartNewDraw(AppState &state);
// The logged-in user's name (the operator of a stored draw).
QString CurrentUserName(const AppState &state);
void InitPathTitles(AppState &state);
// The path line of CurrentScreen: level 1, then " -> " and each further
// level that is not blank.
QString BuildPath(const AppState &state);

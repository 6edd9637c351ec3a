#pragma once

#include "shell/Screens.h"

#include <QString>
#include <QStringList>
#include <QVector>

// The screen on show, by number, and the path line each number shows.
struct Navigation {
    QVector<QStringList> PathTitles;   // rows 1..kScreenCount used, each kPathLevels titles
    int CurrentScreen = 1;
    bool isCurrentScreen(ScreenId id) const { return CurrentScreen == ScreenNumber(id); }
};

void InitPathTitles(Navigation &nav);
// The path line of CurrentScreen: level 1, then " -> " and each further
// level that is not blank.
QString BuildPath(const Navigation &nav);

#pragma once

#include <QString>

// Where the program keeps its data and reads its report templates.
//
// Portable use: the program's own folder holds its templates or ProSys.mdb
// (a build folder, a folder copied to a USB stick); that folder is then the
// application folder for everything.
// Installed use: anything else. The templates come from the prefix's share
// folder and the data (ProSys.mdb, the backup folder, the safety copies)
// lives in the user's data folder: an installed program never writes beside
// itself, whoever runs it.
struct DataLocation {
    QString dataDir;         // ProSys.mdb, the backup folder and the safety copies
    QString templateDir;     // the report templates
    bool portable = false;   // the data lives in the program's own folder
};

// The share folder of an installed program, relative to its bin folder.
inline const QString kInstalledShareFolder = QStringLiteral("../share/kestrune");

// Whether a folder holds one of the report templates.
bool HoldsTemplates(const QString &dir);

// programDir: the folder of the executable; explicitDataDir: the folder the
// user chose on the command line ("" for none); userDataDir: the user's data
// folder for this program. Paths come back absolute and clean.
DataLocation ResolveDataLocation(const QString &programDir, const QString &explicitDataDir, const QString &userDataDir);

// Creates the data folder when it is missing. Returns "" or the problem, in
// words for the user.
QString PrepareDataFolder(const QString &dataDir);

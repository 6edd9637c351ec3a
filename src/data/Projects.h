#pragma once

#include "data/DrawRecord.h"
#include "data/Tables.h"

#include <optional>

// Reading the stored projects back. A file without the project tables has
// no projects.

// Columns of the project list.
enum ProjectListColumn {
    P_Id = 0,    // the key, not shown
    P_When,      // "yyyy-MM-dd HH:mm:ss"
    P_Name,      // 项目名称
    P_Code,      // 项目编号
    P_Rounds,    // number of rounds
    P_Experts,   // number of experts
    P_Operator,
    P_Date,   // "yyyy-MM-dd", for the date range
    ProjectListColumnCount
};

// Every project, in the order stored.
TextTable LoadProjectList(Connection &conn);
TextTable LoadProjectList(const DataStore &store);
// Reloads ProjectTable, the list the project screen searches; like the other
// tables it is read at start and again after each change.
void LoadProjects(DataStore &store);

// The projects stored from one day to another (both included, compared as
// "YYYY-MM-DD" text; an empty bound imposes nothing) whose name contains the
// typed text (the program's wildcards apply).
TextTable FilterProjects(const TextTable &projects, const QString &from, const QString &to, const QString &name);

struct ProjectDetail {
    QString id;
    ProjectFacts facts;
    QString operatorName;
    QString createdDate, createdTime;
    QList<DrawRound> rounds;        // in round order
    QList<ProjectExpert> experts;   // in draw order
    QStringList damage;             // parts of the record that could not be read
    QList<DrawEvent> trail;         // every event of the sessions that stored into it

    // Draw events of the trail that became no round of the project: draws
    // made and thrown away before (or beside) what was stored.
    QList<DrawEvent> discardedDraws() const;

    const ProjectExpert *expert(int seq) const;
    const DrawRound *round(int number) const;
};

std::optional<ProjectDetail> LoadProject(Connection &conn, const QString &projectId);
std::optional<ProjectDetail> LoadProject(const DataStore &store, const QString &projectId);

// Columns of the projects an expert was drawn for.
enum ExpertProjectColumn {
    EP_Project = 0,   // the key
    EP_When,          // project date and time
    EP_Name,
    EP_Code,
    EP_RoundType,   // how the expert was drawn
    EP_Attendance,
    EP_Operator,
    ExpertProjectColumnCount
};

// The projects whose snapshots hold the expert, in project order; an expert
// drawn twice for one project is listed twice.
TextTable ProjectsOfExpert(Connection &conn, const QString &expertId);
TextTable ProjectsOfExpert(const DataStore &store, const QString &expertId);

#pragma once

#include "data/DrawRecord.h"
#include "data/Tables.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
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

// What decides who may see a panel's experts before the award: who drew it,
// when it is reviewed and whether an administrator has made it public.
struct PanelAccess {
    QString operatorId;     // the user who stored it; "" for projects stored before this was kept
    QString operatorName;   // as the project names its operator
    QString reviewTime;     // 评审时间 as typed
    QString publishedAt;    // 已公开: when it was made public, "" while it is not
    QString publishedBy;
    bool published() const { return !publishedAt.isEmpty(); }
};

// Who is looking at a panel.
struct PanelViewer {
    QString userId;
    QString userName;
    int role = -1;
};

// When a panel becomes public by itself: the start of the day after its
// review day (the review takes the day; the time typed is when it begins).
// Invalid when 评审时间 names no day: such a panel waits for 已公开.
QDateTime PanelOpensAt(const QString &reviewTime);

// Whether the panel's experts are hidden from viewer at now: the panel is
// neither public nor past its review day, and the viewer is neither an
// administrator nor the operator who drew it. The operator is known by user
// Id; for projects stored before the Id was kept, by the name they carry.
bool PanelIsConfidential(const PanelAccess &panel, const PanelViewer &viewer, const QDateTime &now);

// Every project's access, by project Id.
QHash<QString, PanelAccess> LoadPanelAccess(Connection &conn);
Result<QHash<QString, PanelAccess>> LoadPanelAccess(const DataStore &store);

// The sel_expert records (by Id) that belong to panels hidden from viewer.
QSet<QString> HiddenSelections(Connection &conn, const PanelViewer &viewer, const QDateTime &now);
Result<QSet<QString>> HiddenSelections(const DataStore &store, const PanelViewer &viewer, const QDateTime &now);

// Marks a project 已公开, with an entry in the operation log, in one
// transaction. Only an administrator may; false, writing nothing, when the
// project does not exist or is public already. Throws DbError.
bool PublishPanel(Connection &conn, const QString &projectId, const PanelViewer &by, const QDateTime &now);
Result<bool> PublishPanel(const DataStore &store, const QString &projectId, const PanelViewer &by,
                          const QDateTime &now);

// What stands for a hidden name, unit, phone or number.
inline const QString kHiddenText = QStringLiteral("***");

struct ProjectDetail {
    QString id;
    PanelAccess access;
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

// The project as a viewer who may not see its panel sees it: every expert's
// number, name, birth date, unit and phone, and every expert number in its
// rounds and draw events, replaced by kHiddenText. For showing only.
void ConcealPanel(ProjectDetail &project);

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

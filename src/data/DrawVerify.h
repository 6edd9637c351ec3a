#pragma once

#include "data/Projects.h"
#include "data/Result.h"

#include <QHash>
#include <QSet>

// Checking stored draws against themselves: every seeded round is drawn
// again from its seed over its stored candidate list, and the candidate
// hashes, the confirmed experts, the snapshots and their links to sel_expert
// must all agree. Nothing here reads the expert table, so editing or deleting
// experts later never makes a check fail.

struct ProjectVerification {
    QString projectId;
    QString name;
    int rounds = 0;
    int seededRounds = 0;
    int supervisedRounds = 0;
    int discardedDraws =
        0;   // draws of its sessions that were not stored   // of the seeded: supervised, or from a supervised reserve
    int experts = 0;
    QStringList problems;   // empty when everything agrees

    bool ok() const { return problems.isEmpty(); }
    // One line: the project, and either what was checked or what disagrees.
    QString line() const;
};

struct FileVerification {
    QList<ProjectVerification> projects;
    qsizetype selections = 0;           // sel_expert records in the file
    qsizetype unlinkedSelections = 0;   // of them, records of no project (not checked)
    qsizetype trailEvents = 0;          // draws, confirmations, deletions... as they happened
    qsizetype unstoredSessions = 0;     // sessions that never stored a project
    QStringList trailProblems;          // gaps and damage in that record

    bool ok() const;
    QString summary() const;
};

// sel_expert by record number: (Sel_data, Expert_Id).
using SelectionIndex = QHash<QString, QPair<QString, QString>>;
SelectionIndex ReadSelections(Connection &conn);

// declined: the experts (by seq) whose attendance was ever 已拒绝; when
// given, a substitute must replace one of them.
ProjectVerification VerifyProject(const ProjectDetail &project, const SelectionIndex &selections,
                                  const QSet<int> *declined = nullptr);
// One project of an open file; a project that is not there fails.
// The same through the session's connection; a failure to read comes back
// as the result.
Result<ProjectVerification> VerifyProject(const DataStore &store, const QString &projectId);
ProjectVerification VerifyProject(Connection &conn, const QString &projectId);
// Every project of an open file.
FileVerification VerifyDataFile(Connection &conn);

// The verification data of a printed draw record (its QR code): the
// project and, per round, what anyone needs to check it against the file or
// to derive a supervised panel again:
//   KESTRUNE-RECORD/1
//   P|<project Id>
//   R|<round>|<type>|<candidate count>|<candidate hash>|<seed or "">|
//     <commitment>|<supervisor's number>|<revealed bytes hex>|<public number>|
//     <requested>|<drawn Ids, comma-separated>|<confirmed Ids, comma-separated>
// Fields a round does not have are empty; "%" and "|" in a field are written
// "%25" and "%7C".
QString RecordVerificationText(const ProjectDetail &project);
// What disagrees between a record's verification data and the file (empty
// when the file still holds what was printed); notes get what is only worth
// telling (rounds added after printing).
QStringList CheckRecordText(Connection &conn, const QString &text, QStringList *notes = nullptr);

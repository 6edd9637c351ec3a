#pragma once

#include "data/Tables.h"
#include "data/Platform.h"
#include "data/SeededDraw.h"

#include <QString>
#include <QVector>

// Extraction types, in the order of the type list.
enum class DrawType { Manual = 0, Random = 1, Rolling = 2 };

// The count check of a random draw, made on the text of the count box before
// anything else is read.
struct DrawCount {
    enum Status { Ok, Missing, BelowOne, AboveExperts } status = Missing;
    qsizetype n = 0;   // the number asked for when status is Ok
};

// Reads the count box: empty or not a whole number is Missing (the user must
// enter a count), below 1 is BelowOne, more than the experts stored (all of
// them, not only the candidates) or too large to hold is AboveExperts.
DrawCount CheckDrawCount(const QString &text, qsizetype expertCount);

// The message of a failed count check and whether it is shown as critical.
QString DrawCountMessage(DrawCount::Status status);
bool DrawCountIsCritical(DrawCount::Status status);

// The rows of list at the given indexes, in that order.
TextTable PickRows(const TextTable &list, const QVector<qsizetype> &indexes);

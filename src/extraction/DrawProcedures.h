#pragma once

#include "data/Tables.h"
#include "data/Platform.h"

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

// The whole part of count * r for one number r in [0, 1) of the random
// source: every index 0 .. count - 1 equally likely. count must be positive.
qsizetype RandomIndex(qsizetype count, RandomSource &random);

// Draws n distinct indexes of 0 .. count - 1 (n < count), in the order drawn.
// Each pick takes numbers from the source as RandomIndex does and draws again
// while the index was picked before, so every ordered choice of n distinct
// indexes is equally likely. Repeats are found through a table of flags, so
// a redraw costs constant time however many picks came before.
QVector<qsizetype> RandomDraw(qsizetype count, qsizetype n, RandomSource &random);

// The rows of list at the given indexes, in that order.
TextTable PickRows(const TextTable &list, const QVector<qsizetype> &indexes);

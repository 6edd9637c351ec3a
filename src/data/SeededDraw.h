#pragma once

#include "data/Platform.h"

#include <QVector>
#include <QtGlobal>
#include <random>

// The whole part of count * r for one number r in [0, 1) of the random
// source: every index 0 .. count - 1 equally likely. count must be positive.
qsizetype RandomIndex(qsizetype count, RandomSource &random);

// Draws n distinct indexes of 0 .. count - 1 (n < count), in the order drawn.
// Each pick takes numbers from the source as RandomIndex does and draws again
// while the index was picked before, so every ordered choice of n distinct
// indexes is equally likely. Repeats are found through a table of flags, so
// a redraw costs constant time however many picks came before.
QVector<qsizetype> RandomDraw(qsizetype count, qsizetype n, RandomSource &random);

// The numbers of a recorded random draw: std::mt19937_64 seeded with the
// round's seed, each output x giving r = (x >> 11) * 2^-53. The same seed
// always gives the same numbers, on any machine.
class SeededRandom : public RandomSource {
public:
    explicit SeededRandom(quint64 seed) : m_engine(seed) {}
    double next() override { return double(m_engine() >> 11) * 0x1.0p-53; }

private:
    std::mt19937_64 m_engine;
};

// A recorded random draw: n distinct indexes of 0 .. count - 1 drawn by
// RandomDraw from SeededRandom(seed). Replaying it with the stored seed over
// the stored candidate list gives the same picks in the same order.
QVector<qsizetype> SeededDraw(qsizetype count, qsizetype n, quint64 seed);

// 64 random bits from the operating system.
quint64 SystemSeed();

// Picks as stored with a round ("3,17,0") and back. Reading fails (returns
// false) on anything but comma-separated whole numbers.
QString PicksText(const QVector<qsizetype> &picks);
bool ParsePicks(const QString &text, QVector<qsizetype> *picks);

#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>

// The clock and the random source stand behind interfaces so that tests
// can fix the date and script the numbers drawn.

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
    // Today at the time of day now (what stored draws are dated with).
    virtual QDateTime now() const { return QDateTime(today(), QTime::currentTime()); }
};

// The one random source of the program: numbers uniform in [0, 1), and the
// fresh seed each recorded random draw starts from.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual double next() = 0;
    // 64 bits from the operating system unless a test fixes them.
    virtual quint64 nextSeed();
    // Bytes from the operating system's random source unless a test fixes
    // them (the program's share of a supervised draw).
    virtual QByteArray nextBytes(int count);
};

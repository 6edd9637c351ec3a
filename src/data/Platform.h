#pragma once

#include <QDate>

// The clock and the random source stand behind interfaces so that tests
// can fix the date and script the numbers drawn.

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
};

// The one random source of the program: numbers uniform in [0, 1).
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual double next() = 0;
};

#include "data/SeededDraw.h"

#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <sys/random.h>
#include <vector>

quint64 RandomSource::nextSeed() { return SystemSeed(); }

qsizetype RandomIndex(qsizetype count, RandomSource &random)
{
    const double r = random.next();
    const double scaled = std::floor(double(count) * r);
    // A source at its very edge (or rounding of count * r) must never give an
    // index outside the list.
    if (!(scaled >= 0))
        return 0;
    if (scaled >= double(count))
        return count - 1;
    return qsizetype(scaled);
}

QVector<qsizetype> RandomDraw(qsizetype count, qsizetype n, RandomSource &random)
{
    QVector<qsizetype> picks;
    if (count <= 0 || n <= 0)
        return picks;
    n = std::min(n, count);
    picks.reserve(n);
    std::vector<bool> taken(size_t(count), false);

    // A sound source needs about count / (count - k) draws for pick k; one
    // that keeps repeating itself (a broken or scripted source) must not
    // freeze the program, so after this many repeats in a row the pick takes
    // the next free index instead. A sound source never gets near it.
    const qsizetype repeatLimit = 1000 * count + 1000000;

    for (qsizetype k = 0; k < n; ++k) {
        qsizetype index = RandomIndex(count, random);
        qsizetype repeats = 0;
        while (taken[size_t(index)]) {
            if (++repeats > repeatLimit) {
                while (taken[size_t(index)])
                    index = (index + 1) % count;
                break;
            }
            index = RandomIndex(count, random);
        }
        taken[size_t(index)] = true;
        picks.append(index);
    }
    return picks;
}

QVector<qsizetype> SeededDraw(qsizetype count, qsizetype n, quint64 seed)
{
    SeededRandom random(seed);
    return RandomDraw(count, n, random);
}

quint64 SystemSeed()
{
    quint64 seed = 0;
    auto *bytes = reinterpret_cast<char *>(&seed);
    size_t got = 0;
    while (got < sizeof seed) {
        const ssize_t n = getrandom(bytes + got, sizeof seed - got, 0);
        if (n > 0) {
            got += size_t(n);
            continue;
        }
        // Without getrandom (very old kernels) the library's device will do.
        if (n < 0 && errno != EINTR) {
            std::random_device device;
            seed = (quint64(device()) << 32) ^ quint64(device());
            return seed;
        }
    }
    return seed;
}

QString PicksText(const QVector<qsizetype> &picks)
{
    QStringList parts;
    parts.reserve(picks.size());
    for (qsizetype p : picks)
        parts << QString::number(p);
    return parts.join(QLatin1Char(','));
}

bool ParsePicks(const QString &text, QVector<qsizetype> *picks)
{
    picks->clear();
    if (text.isEmpty())
        return true;
    const QStringList parts = text.split(QLatin1Char(','));
    picks->reserve(parts.size());
    for (const QString &part : parts) {
        bool ok = false;
        const qlonglong value = part.toLongLong(&ok);
        if (!ok || value < 0 || part.trimmed() != part)
            return false;
        picks->append(qsizetype(value));
    }
    return true;
}

#include "data/PasswordHash.h"

#include <sodium.h>

#include <atomic>
#include <stdexcept>

namespace PasswordHash {
namespace {

std::atomic<unsigned long long> g_passes{kLoginCost.passes};
std::atomic<size_t> g_memory{kLoginCost.memoryBytes};

void ensureSodium()
{
    // Safe to call more than once and from several threads.
    static const int ready = sodium_init();
    if (ready < 0)
        throw std::runtime_error("libsodium could not be initialised");
}

const QLatin1String kPrefix("$argon2id$");

}   // namespace

void SetCost(Cost cost)
{
    g_passes = qMax<unsigned long long>(cost.passes, crypto_pwhash_OPSLIMIT_MIN);
    g_memory = qMax<size_t>(cost.memoryBytes, crypto_pwhash_MEMLIMIT_MIN);
}

Cost CurrentCost() { return {g_passes.load(), g_memory.load()}; }

bool IsHash(const QString &stored)
{
    // A hash is far longer than any password the program lets anyone type
    // (20 units); a short value that merely starts alike is a password.
    return stored.startsWith(kPrefix) && stored.size() > 40 && stored.size() < int(crypto_pwhash_STRBYTES);
}

QString Make(const QString &password)
{
    ensureSodium();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, utf8.constData(), quint64(utf8.size()), g_passes.load(), g_memory.load(),
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw std::runtime_error("not enough memory to hash a password");
    return QString::fromLatin1(out);
}

bool Matches(const QString &stored, const QString &password)
{
    if (!IsHash(stored))
        return stored == password;
    ensureSodium();
    const QByteArray hash = stored.toLatin1();
    const QByteArray utf8 = password.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), utf8.constData(), quint64(utf8.size())) == 0;
}

bool NeedsUpgrade(const QString &stored)
{
    if (!IsHash(stored))
        return true;
    ensureSodium();
    const QByteArray hash = stored.toLatin1();
    return crypto_pwhash_str_needs_rehash(hash.constData(), g_passes.load(), g_memory.load()) != 0;
}

}   // namespace PasswordHash

#pragma once

#include <QString>

// Login passwords are kept as Argon2id hashes, each with its own salt, in
// libsodium's text form ("$argon2id$v=19$m=…,t=…,p=1$salt$hash"). That text
// goes where the password used to be: every reader and copier of the user
// table keeps it with its user, and an older program, which compares what
// was typed with what is stored, matches nobody.
namespace PasswordHash {

// The work one hash costs. Login verifies one hash; these limits (the
// commonly recommended 19 MiB, two passes) keep that well under half a
// second on an office computer.
struct Cost {
    unsigned long long passes;
    size_t memoryBytes;
};
inline constexpr Cost kLoginCost{2, size_t(19) << 20};

// The cost of hashes made from now on in this process. Tests lower it so
// that the hundreds of libraries they make do not each take a quarter
// second; a stored hash carries its own cost, so verifying is unaffected.
void SetCost(Cost cost);
Cost CurrentCost();

// Whether a stored value is one of our hashes rather than a password kept
// as typed (libraries written before hashing, or by an older program).
bool IsHash(const QString &stored);

// A fresh hash of the password with a new random salt. Throws
// std::runtime_error when the memory for it cannot be had.
QString Make(const QString &password);

// Whether the typed password is the one stored: a hash is verified, a
// value kept as typed is compared exactly.
bool Matches(const QString &stored, const QString &password);

// Whether a stored value should be replaced by a fresh hash after a
// successful check: kept as typed, or hashed at another cost.
bool NeedsUpgrade(const QString &stored);

}   // namespace PasswordHash

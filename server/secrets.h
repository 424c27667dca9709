// Password hashing, credential generation and login derivation.
#pragma once

#include <QByteArray>
#include <QString>

namespace secrets {

constexpr int kPbkdf2Iterations = 100000;

struct PasswordHash {
    QByteArray salt;
    QByteArray hash;
    int iterations = kPbkdf2Iterations;
};

// Salted PBKDF2-SHA256; the salt comes from the system generator.
PasswordHash hashPassword(const QString &password);
bool verifyPassword(const QString &password, const PasswordHash &stored);
// Burns the same time as a real check, so an unknown login answers no faster than a wrong password.
void dummyVerify(const QString &password);

// A bearer credential: 256 bits from the system generator, URL-safe text with a kind prefix.
QString newCredential(const char *prefix);
// What the database keeps instead of the credential itself.
QString credentialHash(const QString &credential);

// One-time password handed out at member creation and reset.
QString oneTimePassword();

// A login made from a display name: Cyrillic transliterated, lower case, "first.last".
QString loginFromName(const QString &name);

// Number of user-perceived characters.
int graphemes(const QString &text);

} // namespace secrets

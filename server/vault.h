// Registry API keys at rest: sealed with libsodium's secretbox (XSalsa20-Poly1305) under a key
// kept in a file of its own beside the database, so that a copy of the database alone does not
// give the keys away.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class Vault {
public:
    ~Vault();
    // Reads the key file, or makes a new one (mode 0600) when `create` and it does not exist.
    bool open(const QString &keyPath, bool create, QString *error);
    // Random nonce followed by the sealed text.
    QByteArray seal(const QByteArray &plain) const;
    // None when the text was not sealed under this key or was altered.
    std::optional<QByteArray> unseal(const QByteArray &sealed) const;
    // A short fingerprint of the key, kept in the database to notice a wrong key file.
    QString fingerprint() const;

private:
    QByteArray m_key;
};

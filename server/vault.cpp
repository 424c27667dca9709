#include "vault.h"

#include <QFile>
#include <QFileInfo>

#include <sodium.h>
#include <unistd.h>

Vault::~Vault() {
    if (!m_key.isEmpty()) sodium_memzero(m_key.data(), size_t(m_key.size()));
}

bool Vault::open(const QString &keyPath, bool create, QString *error) {
    if (sodium_init() < 0) {
        *error = QStringLiteral("libsodium did not initialise");
        return false;
    }
    QFile f(keyPath);
    if (f.exists()) {
        if (!f.open(QIODevice::ReadOnly)) {
            *error = keyPath + QStringLiteral(": ") + f.errorString();
            return false;
        }
        m_key = f.readAll();
        if (m_key.size() != crypto_secretbox_KEYBYTES) {
            *error = keyPath + QStringLiteral(": not a key file");
            return false;
        }
        if (QFileInfo(f).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther))
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return true;
    }
    if (!create) {
        *error = keyPath + QStringLiteral(": missing, and the database holds keys sealed with it");
        return false;
    }
    m_key.resize(crypto_secretbox_KEYBYTES);
    randombytes_buf(m_key.data(), size_t(m_key.size()));
    // Written under a temporary name and renamed, so a crash never leaves half a key behind.
    QFile out(keyPath + QStringLiteral(".new"));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !out.setPermissions(QFile::ReadOwner | QFile::WriteOwner) || out.write(m_key) != m_key.size() ||
        !out.flush() || fsync(out.handle()) != 0) {
        *error = out.fileName() + QStringLiteral(": ") + out.errorString();
        return false;
    }
    out.close();
    if (!QFile::rename(out.fileName(), keyPath)) {
        *error = QStringLiteral("cannot create ") + keyPath;
        return false;
    }
    return true;
}

QByteArray Vault::seal(const QByteArray &plain) const {
    QByteArray out(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES + plain.size(), Qt::Uninitialized);
    auto *nonce = reinterpret_cast<unsigned char *>(out.data());
    randombytes_buf(nonce, crypto_secretbox_NONCEBYTES);
    crypto_secretbox_easy(nonce + crypto_secretbox_NONCEBYTES, reinterpret_cast<const unsigned char *>(plain.constData()),
                          quint64(plain.size()), nonce, reinterpret_cast<const unsigned char *>(m_key.constData()));
    return out;
}

std::optional<QByteArray> Vault::unseal(const QByteArray &sealed) const {
    const qsizetype overhead = crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES;
    if (sealed.size() < overhead) return std::nullopt;
    QByteArray plain(sealed.size() - overhead, Qt::Uninitialized);
    const auto *nonce = reinterpret_cast<const unsigned char *>(sealed.constData());
    if (crypto_secretbox_open_easy(reinterpret_cast<unsigned char *>(plain.data()), nonce + crypto_secretbox_NONCEBYTES,
                                   quint64(sealed.size() - crypto_secretbox_NONCEBYTES), nonce,
                                   reinterpret_cast<const unsigned char *>(m_key.constData())) != 0)
        return std::nullopt;
    return plain;
}

QString Vault::fingerprint() const {
    unsigned char hash[16];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char *>(m_key.constData()),
                       size_t(m_key.size()), nullptr, 0);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(hash), sizeof hash).toHex());
}

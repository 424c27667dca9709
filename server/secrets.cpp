#include "secrets.h"

#include <QCryptographicHash>
#include <QHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringList>
#include <QTextBoundaryFinder>

namespace secrets {
namespace {

QByteArray randomBytes(int n) {
    QByteArray out(n, Qt::Uninitialized);
    QRandomGenerator *gen = QRandomGenerator::system();
    for (int i = 0; i < n; ++i) out[i] = char(gen->bounded(256));
    return out;
}

QByteArray derive(const QString &password, const QByteArray &salt, int iterations) {
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              iterations, 32);
}

// Compares without an early exit, so the time taken tells nothing about the position of a mismatch.
bool sameBytes(const QByteArray &a, const QByteArray &b) {
    if (a.size() != b.size()) return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace

PasswordHash hashPassword(const QString &password) {
    PasswordHash h;
    h.salt = randomBytes(16);
    h.hash = derive(password, h.salt, h.iterations);
    return h;
}

bool verifyPassword(const QString &password, const PasswordHash &stored) {
    if (stored.iterations < 1 || stored.salt.isEmpty() || stored.hash.isEmpty()) return false;
    return sameBytes(derive(password, stored.salt, stored.iterations), stored.hash);
}

void dummyVerify(const QString &password) { derive(password, randomBytes(16), kPbkdf2Iterations); }

QString newCredential(const char *prefix) {
    const QByteArray raw = randomBytes(32);
    return QString::fromLatin1(prefix) +
           QString::fromLatin1(raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString credentialHash(const QString &credential) {
    return QString::fromLatin1(
        QCryptographicHash::hash(credential.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString oneTimePassword() {
    // No 0/O, 1/l/I: the password is read off a screen and typed by hand.
    static const QString alphabet = QStringLiteral("abcdefghjkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789");
    QRandomGenerator *gen = QRandomGenerator::system();
    QString out;
    for (int i = 0; i < 12; ++i) out += alphabet.at(int(gen->bounded(quint32(alphabet.size()))));
    return out;
}

QString loginFromName(const QString &name) {
    static const QHash<QChar, QString> table = [] {
        QHash<QChar, QString> t;
        const QString from = QStringLiteral("абвгдеёжзийклмнопрстуфхцчшщъыьэюя");
        const QStringList to = {"a", "b", "v", "g", "d", "e", "e", "zh", "z", "i", "y",
                                "k", "l", "m", "n", "o", "p", "r", "s", "t", "u", "f",
                                "kh", "ts", "ch", "sh", "shch", "", "y", "", "e", "yu", "ya"};
        for (int i = 0; i < from.size(); ++i) t.insert(from.at(i), to.at(i));
        return t;
    }();
    QStringList parts;
    for (const QString &word : name.toLower().split(u' ', Qt::SkipEmptyParts)) {
        QString latin;
        for (const QChar c : word) {
            if (table.contains(c)) latin += table.value(c);
            else if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')) latin += c;
        }
        if (!latin.isEmpty()) parts << latin;
        if (parts.size() == 2) break;
    }
    return parts.isEmpty() ? QStringLiteral("user") : parts.join(u'.');
}

int graphemes(const QString &text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int n = 0;
    while (finder.toNextBoundary() > 0) ++n;
    return n;
}

} // namespace secrets

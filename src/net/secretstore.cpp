#include "secretstore.h"

#include "endpoint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <cstdio>

std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

void callLater(QObject *context, std::function<void()> fn)
{
    if (!context || !fn)
        return;
    // Queued even on the context's own thread: an answer never runs inside the call that asked.
    // Calls posted to one object run in the order they were posted; Qt drops them if the object
    // goes first.
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

// ---- memory ----

void MemorySecretStore::set(const QString &key, const QString &value)
{
    m_items.remove(key);
    m_items.insert(key, value);
}

std::optional<QString> MemorySecretStore::get(const QString &key) const
{
    const auto it = m_items.constFind(key);
    if (it == m_items.constEnd())
        return std::nullopt;
    return *it;
}

void MemorySecretStore::remove(const QString &key)
{
    m_items.remove(key);
}

void MemorySecretStore::readItem(const QString &key, QObject *context, ReadFn done)
{
    callLater(context, [done = std::move(done), value = get(key)] { done(value); });
}

void MemorySecretStore::writeItem(const QString &key, const QString &value, QObject *context, DoneFn done)
{
    set(key, value);
    if (done)
        callLater(context, [done = std::move(done)] { done(true); });
}

void MemorySecretStore::removeItem(const QString &key, QObject *context, DoneFn done)
{
    remove(key);
    if (done)
        callLater(context, [done = std::move(done)] { done(true); });
}

QString MemorySecretStore::backendName() const
{
    return QStringLiteral("memory");
}

// ---- file ----

namespace {
constexpr QFile::Permissions kOwnerFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions kOwnerDir = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
} // namespace

FileSecretStore::FileSecretStore(QString path) : m_path(std::move(path)) {}

QString FileSecretStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/corvane-team/secrets.json");
}

QHash<QString, QString> FileSecretStore::load() const
{
    QHash<QString, QString> items;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return items;
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &err);
    // The parser rejects text that is not valid UTF-8, so such a file reads as empty as well.
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return items;
    const QJsonObject obj = doc.object();
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        if (it.value().isString())
            items.insert(it.key(), it.value().toString());
    }
    return items;
}

bool FileSecretStore::save(const QHash<QString, QString> &items) const
{
    const QString dirPath = QFileInfo(m_path).absolutePath();
    if (!QFileInfo(dirPath).isDir()) {
        // Parents get ordinary permissions; our own folder is created owner-only from the start,
        // so there is no moment at which the umask decides who can look inside.
        QDir().mkpath(QFileInfo(dirPath).absolutePath());
        QDir().mkdir(dirPath, kOwnerDir);
    }
    QFile::setPermissions(dirPath, kOwnerDir);

    if (!QFileInfo::exists(m_path)) {
        // QSaveFile gives a new file the umask's default mode but keeps an existing file's mode,
        // so make the file exist with owner-only permissions before the first atomic write.
        QFile seed(m_path);
        if (seed.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerFile))
            seed.close();
    }

    QJsonObject obj;
    for (auto it = items.begin(); it != items.end(); ++it)
        obj.insert(it.key(), it.value());

    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(QJsonDocument(obj).toJson(QJsonDocument::Indented));
    const bool ok = out.commit();
    // A file left behind by an older build, or copied in by hand, may be looser; tighten it.
    QFile::setPermissions(m_path, kOwnerFile);
    return ok;
}

bool FileSecretStore::set(const QString &key, const QString &value)
{
    auto items = load();
    items.remove(key);
    items.insert(key, value);
    return save(items);
}

std::optional<QString> FileSecretStore::get(const QString &key) const
{
    const auto items = load();
    const auto it = items.constFind(key);
    if (it == items.constEnd())
        return std::nullopt;
    return *it;
}

bool FileSecretStore::remove(const QString &key)
{
    auto items = load();
    return items.remove(key) == 0 || save(items);
}

void FileSecretStore::readItem(const QString &key, QObject *context, ReadFn done)
{
    callLater(context, [done = std::move(done), value = get(key)] { done(value); });
}

void FileSecretStore::writeItem(const QString &key, const QString &value, QObject *context, DoneFn done)
{
    const bool ok = set(key, value);
    if (done)
        callLater(context, [done = std::move(done), ok] { done(ok); });
}

void FileSecretStore::removeItem(const QString &key, QObject *context, DoneFn done)
{
    const bool ok = remove(key);
    if (done)
        callLater(context, [done = std::move(done), ok] { done(ok); });
}

QString FileSecretStore::backendName() const
{
    return QStringLiteral("file");
}

// ---- choice at start-up ----

std::unique_ptr<SecretStore> makeSecretStore(int timeoutMs)
{
    const QString forced = qEnvironmentVariable("CORVANE_SECRET_STORE").trimmed().toLower();
    if (forced == QLatin1String("memory"))
        return std::make_unique<MemorySecretStore>();
    if (forced == QLatin1String("file"))
        return std::make_unique<FileSecretStore>();
    if (forced == QLatin1String("keychain"))
        return std::make_unique<KeychainSecretStore>(endpoint::appId(), timeoutMs);
    if (!forced.isEmpty()) {
        std::fprintf(stderr, "corvane-team: ignoring CORVANE_SECRET_STORE=%s (expected file, keychain or memory)\n",
                     qPrintable(forced));
    }
    return std::make_unique<PlatformSecretStore>(endpoint::appId(), timeoutMs);
}

// ---- the six session items ----

namespace Keychain {

const QStringList &items()
{
    static const QStringList names{QStringLiteral("token"), QStringLiteral("login"), QStringLiteral("name"),
                                   QStringLiteral("url"),   QStringLiteral("role"),  QStringLiteral("session")};
    return names;
}

void set(SecretStore &s, const QString &key, const QString &value)
{
    s.writeItem(key, value);
}

void get(SecretStore &s, const QString &key, QObject *context, SecretStore::ReadFn done)
{
    s.readItem(key, context, std::move(done));
}

void clear(SecretStore &s)
{
    for (const QString &name : items())
        s.removeItem(name);
}

} // namespace Keychain

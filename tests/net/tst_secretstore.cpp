// Secret stores: the private file's permissions and contents, the six-item wrapper, and the choice
// of back-end at start-up when the secret service is missing or hangs.
#include "net/endpoint.h"
#include "net/secretstore.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cstdio>

namespace {

// ---- child modes ----

// Chooses a store as the application does, writes and reads an item through it and reports what
// happened: whether the read returned before its answer came, the back-end chosen, the value.
int makeStoreChild(int timeoutMs)
{
    auto store = makeSecretStore(timeoutMs);
    QObject context;
    bool answered = false;
    Keychain::set(*store, QStringLiteral("token"), QStringLiteral("t-1"));
    Keychain::get(*store, QStringLiteral("token"), &context, [&](const std::optional<QString> &v) {
        answered = true;
        std::printf("backend=%s\ntoken=%s\n", qPrintable(store->backendName()), qPrintable(v.value_or("<none>")));
        QCoreApplication::quit();
    });
    std::printf("returned %s the answer\n", answered ? "after" : "before");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

// Swallows every call: no reply, no error, the way a keyring waiting for an unlock prompt behaves.
class BlackHole : public QDBusVirtualObject {
public:
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &, const QDBusConnection &) override { return true; }
};

int hangingServiceChild(const QString &address)
{
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("hang"));
    BlackHole hole;
    if (!bus.isConnected() || !bus.registerVirtualObject(QStringLiteral("/"), &hole, QDBusConnection::SubPath)
        || !bus.registerService(QStringLiteral("org.freedesktop.secrets"))) {
        std::printf("failed: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

mode_t modeOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

// Records the order of removals, to check the wrapper's contract rather than a back-end's.
class RecordingStore final : public SecretStore {
public:
    QStringList removed;
    MemorySecretStore inner;
    void readItem(const QString &k, QObject *c, ReadFn done) override { inner.readItem(k, c, std::move(done)); }
    void writeItem(const QString &k, const QString &v, QObject *c, DoneFn done) override
    {
        inner.writeItem(k, v, c, std::move(done));
    }
    void removeItem(const QString &k, QObject *c, DoneFn done) override
    {
        removed << k;
        inner.removeItem(k, c, std::move(done));
    }
    QString backendName() const override { return QStringLiteral("recording"); }
};

// Reads through the asynchronous interface and waits for the answer (which never comes inside
// the call).
std::optional<QString> readNow(SecretStore &s, const QString &key)
{
    QObject context;
    std::optional<std::optional<QString>> got;
    s.readItem(key, &context, [&](const std::optional<QString> &v) { got = v; });
    if (got.has_value())
        qFatal("answered inside the call");
    (void)QTest::qWaitFor([&] { return got.has_value(); }, 5000);
    return got.value_or(std::nullopt);
}

} // namespace

class TestSecretStore : public QObject {
    Q_OBJECT

    QTemporaryDir m_tmp;

    // Environment for a child that has no usable secret service of its own.
    QProcessEnvironment childEnv(const QString &busAddress)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("CORVANE_SECRET_STORE"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
        env.remove(QStringLiteral("DESKTOP_SESSION"));
        env.insert(QStringLiteral("HOME"), m_tmp.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_tmp.path() + QStringLiteral("/cfg"));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        return env;
    }

    struct ChildResult {
        bool finished = false;
        QString out;
        QString err;
    };
    ChildResult runChild(const QProcessEnvironment &env, int timeoutMs)
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--make-store"), QString::number(timeoutMs)});
        ChildResult r;
        // Only a guard against a hang; the bound under test is the child's own time-out.
        r.finished = p.waitForFinished(15000);
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        if (!r.finished) {
            p.kill();
            p.waitForFinished();
        }
        return r;
    }

private slots:
    void initTestCase() { QVERIFY(m_tmp.isValid()); }

    void utf8Decoding()
    {
        QCOMPARE(decodeUtf8("plain"), std::optional<QString>(QStringLiteral("plain")));
        QCOMPARE(decodeUtf8(QStringLiteral("пароль 🔑").toUtf8()), std::optional<QString>(QStringLiteral("пароль 🔑")));
        QCOMPARE(decodeUtf8(QByteArray()), std::optional<QString>(QString())); // empty is a value, not absence
        QCOMPARE(decodeUtf8("ab\xc3"), std::nullopt);        // truncated sequence
        QCOMPARE(decodeUtf8("\xed\xa0\x80"), std::nullopt);  // encoded surrogate
        QCOMPARE(decodeUtf8("\xc0\xaf"), std::nullopt);      // overlong "/"
    }

    void sixItemsThroughTheWrapper()
    {
        QCOMPARE(Keychain::items(), QStringList({"token", "login", "name", "url", "role", "session"}));
        RecordingStore s;
        for (const QString &k : Keychain::items())
            QCOMPARE(readNow(s, k), std::nullopt); // never set
        Keychain::set(s, QStringLiteral("token"), QStringLiteral("a"));
        Keychain::set(s, QStringLiteral("token"), QStringLiteral("b"));
        Keychain::set(s, QStringLiteral("session"), QString());
        QCOMPARE(readNow(s, QStringLiteral("token")), std::optional<QString>(QStringLiteral("b")));
        QCOMPARE(readNow(s, QStringLiteral("session")), std::optional<QString>(QString()));
        Keychain::set(s, QStringLiteral("other"), QStringLiteral("kept"));
        Keychain::clear(s);
        QCOMPARE(s.removed, Keychain::items());
        for (const QString &k : Keychain::items())
            QCOMPARE(readNow(s, k), std::nullopt);
        QCOMPARE(readNow(s, QStringLiteral("other")), std::optional<QString>(QStringLiteral("kept")));
    }

    void fileStoreIsPrivateWhateverTheUmask()
    {
        const mode_t old = ::umask(0); // the most permissive umask: the code alone must restrict
        const QString dir = m_tmp.path() + QStringLiteral("/perm/corvane-team");
        const QString path = dir + QStringLiteral("/secrets.json");
        FileSecretStore s(path);
        QCOMPARE(s.backendName(), QStringLiteral("file"));
        s.set(QStringLiteral("token"), QStringLiteral("t"));
        ::umask(old);
        QCOMPARE(modeOf(dir), mode_t(0700));
        QCOMPARE(modeOf(path), mode_t(0600));
        // Nothing but the file itself is left in the folder (the atomic write's temporary is gone).
        QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("secrets.json")});

        // A looser file and folder from elsewhere are tightened on the next write.
        QVERIFY(QFile::setPermissions(path, QFile::Permissions(0x6666)));
        QVERIFY(QFile::setPermissions(dir, QFile::Permissions(0x7777)));
        s.set(QStringLiteral("login"), QStringLiteral("l"));
        QCOMPARE(modeOf(dir), mode_t(0700));
        QCOMPARE(modeOf(path), mode_t(0600));
    }

    void fileStoreContents()
    {
        const QString path = m_tmp.path() + QStringLiteral("/contents/secrets.json");
        {
            FileSecretStore s(path);
            QCOMPARE(s.get(QStringLiteral("token")), std::nullopt); // no file yet
            s.set(QStringLiteral("token"), QStringLiteral("first"));
            s.set(QStringLiteral("token"), QStringLiteral("second"));
            s.set(QStringLiteral("name"), QStringLiteral("Анна 🙂"));
            s.set(QStringLiteral("session"), QString());
        }
        FileSecretStore s(path); // another instance reads what the first wrote
        QCOMPARE(s.get(QStringLiteral("token")), std::optional<QString>(QStringLiteral("second")));
        QCOMPARE(s.get(QStringLiteral("name")), std::optional<QString>(QStringLiteral("Анна 🙂")));
        QCOMPARE(s.get(QStringLiteral("session")), std::optional<QString>(QString()));

        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QJsonObject onDisk = QJsonDocument::fromJson(f.readAll()).object();
        f.close();
        QCOMPARE(onDisk.keys(), QStringList({"name", "session", "token"})); // one "token", not two
        QCOMPARE(onDisk.value("token").toString(), QStringLiteral("second"));

        Keychain::clear(s);
        for (const QString &k : Keychain::items())
            QCOMPARE(s.get(k), std::nullopt);
    }

    void unreadableFileReadsAsAbsent_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not UTF-8") << QByteArray("{\"token\": \"\xff\xfe\"}");
        QTest::newRow("not JSON") << QByteArray("token=abc");
        QTest::newRow("number value") << QByteArray("{\"token\": 42}");
    }
    void unreadableFileReadsAsAbsent()
    {
        QFETCH(QByteArray, content);
        const QString path = m_tmp.path() + QStringLiteral("/bad/secrets.json");
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();

        FileSecretStore s(path);
        QCOMPARE(s.get(QStringLiteral("token")), std::nullopt);
        // Writing over a damaged file starts afresh rather than failing.
        s.set(QStringLiteral("login"), QStringLiteral("ok"));
        QCOMPARE(s.get(QStringLiteral("login")), std::optional<QString>(QStringLiteral("ok")));
    }

    void defaultFileLocation()
    {
        const QByteArray old = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_tmp.path() + QStringLiteral("/xdg")));
        QCOMPARE(FileSecretStore::defaultPath(), m_tmp.path() + QStringLiteral("/xdg/corvane-team/secrets.json"));
        qputenv("XDG_CONFIG_HOME", old);
    }

    void forcedBackends()
    {
        const QByteArray old = qgetenv("CORVANE_SECRET_STORE");
        for (const char *name : {"memory", "file", "keychain"}) {
            qputenv("CORVANE_SECRET_STORE", name);
            QCOMPARE(makeSecretStore()->backendName(), QString::fromLatin1(name));
        }
        qputenv("CORVANE_SECRET_STORE", old);
    }

    void fallsBackWithoutSecretService()
    {
        const auto r = runChild(childEnv(QStringLiteral("unix:path=%1/no-bus-here").arg(m_tmp.path())), 2000);
        QVERIFY(r.finished);
        QCOMPARE(r.out, QStringLiteral("returned before the answer\nbackend=file\ntoken=t-1\n"));
        const QString file = m_tmp.path() + QStringLiteral("/cfg/corvane-team/secrets.json");
        QVERIFY2(r.err.contains(QStringLiteral("secret service unavailable")) && r.err.contains(file), qPrintable(r.err));
        QCOMPARE(r.err.count(QStringLiteral("secret service unavailable")), 1);
        QCOMPARE(modeOf(file), mode_t(0600));
    }

    void fallsBackWhenSecretServiceHangs()
    {
        // A private bus where org.freedesktop.secrets is owned by a process that never replies.
        const QString conf = m_tmp.path() + QStringLiteral("/bus.conf");
        QFile c(conf);
        QVERIFY(c.open(QIODevice::WriteOnly));
        // (Plain literals: moc cannot read a raw string holding this markup.)
        c.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                               "<busconfig><type>session</type><listen>unix:path=%1/hang-bus</listen>\n"
                               "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>\n"
                               "</busconfig>\n")
                    .arg(m_tmp.path())
                    .toUtf8());
        c.close();

        QProcess bus;
        bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + conf, QStringLiteral("--nofork"),
                                                  QStringLiteral("--print-address")});
        QVERIFY2(bus.waitForStarted(), "dbus-daemon not found");
        QTRY_VERIFY_WITH_TIMEOUT(bus.canReadLine(), 5000);
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();

        QProcess hang;
        hang.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hang-secrets"), address});
        QTRY_VERIFY_WITH_TIMEOUT(hang.canReadLine(), 5000);
        QCOMPARE(hang.readLine(), QByteArray("ready\n"));

        const int bound = 700;
        const auto r = runChild(childEnv(address), bound);
        hang.kill();
        hang.waitForFinished();
        bus.kill();
        bus.waitForFinished();

        QVERIFY(r.finished);
        QCOMPARE(r.out, QStringLiteral("returned before the answer\nbackend=file\ntoken=t-1\n"));
        QVERIFY2(r.err.contains(QStringLiteral("no answer within %1 ms").arg(bound)), qPrintable(r.err));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--make-store") == 0)
        return makeStoreChild(QByteArray(argv[2]).toInt());
    if (argc > 2 && qstrcmp(argv[1], "--hang-secrets") == 0)
        return hangingServiceChild(QString::fromLocal8Bit(argv[2]));
    TestSecretStore t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_secretstore.moc"

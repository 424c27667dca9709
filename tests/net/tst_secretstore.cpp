// Secret stores: the six-item wrapper, the private file's permissions and contents, and the
// choice of back-end at start-up when the secret service is missing or hangs.
#include "kit.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cstdio>

namespace {

// Child mode: chooses a store as the application does, writes and reads an item through it and
// reports whether the read returned before its answer came, the back-end chosen and the value.
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

// Child mode: owns org.freedesktop.secrets on `address` and swallows every call (no reply, no
// error), the way a keyring waiting for an unlock prompt behaves.
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
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

class TestSecretStore : public QObject {
    Q_OBJECT

    QTemporaryDir m_tmp;

    // Runs the --make-store child with no usable secret service of its own but the one on `bus`.
    QString runChild(const QString &bus, int timeoutMs, QString *err)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *v : {"CORVANE_SECRET_STORE", "DISPLAY", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION"})
            env.remove(QString::fromLatin1(v));
        env.insert(QStringLiteral("HOME"), m_tmp.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_tmp.filePath(QStringLiteral("cfg")));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus);
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--make-store"), QString::number(timeoutMs)});
        // Only a guard against a hang; the bound under test is the child's own time-out.
        if (!p.waitForFinished(15000))
            p.kill();
        *err = QString::fromUtf8(p.readAllStandardError());
        return QString::fromUtf8(p.readAllStandardOutput());
    }

private slots:
    void initTestCase() { QVERIFY(m_tmp.isValid()); }

    void utf8Decoding()
    {
        QCOMPARE(decodeUtf8(QStringLiteral("пароль 🔑").toUtf8()), std::optional<QString>(QStringLiteral("пароль 🔑")));
        QCOMPARE(decodeUtf8(QByteArray()), std::optional<QString>(QString())); // empty is a value, not absence
        QCOMPARE(decodeUtf8("ab\xc3"), std::nullopt);
    }

    void sixItemsThroughTheWrapper()
    {
        SlowSecrets s(0); // answers in order, each on a later turn of the event loop
        Keychain::set(s, QStringLiteral("token"), QStringLiteral("a"));
        Keychain::set(s, QStringLiteral("token"), QStringLiteral("b"));
        Keychain::set(s, QStringLiteral("session"), QString());
        QCOMPARE(readNow(s, QStringLiteral("token")), std::optional<QString>(QStringLiteral("b")));
        QCOMPARE(readNow(s, QStringLiteral("session")), std::optional<QString>(QString()));
        Keychain::set(s, QStringLiteral("other"), QStringLiteral("kept"));
        Keychain::clear(s);
        QCOMPARE(s.log.mid(s.log.size() - 6), QStringList({"remove token", "remove login", "remove name",
                                                             "remove url", "remove role", "remove session"}));
        for (const QString &k : Keychain::items())
            QCOMPARE(readNow(s, k), std::nullopt);
        QCOMPARE(readNow(s, QStringLiteral("other")), std::optional<QString>(QStringLiteral("kept")));
    }

    void fileStoreIsPrivateAndWholeWhateverTheUmask()
    {
        const mode_t old = ::umask(0); // the most permissive umask: the code alone must restrict
        const QString dir = m_tmp.filePath(QStringLiteral("perm/corvane-team"));
        const QString path = dir + QStringLiteral("/secrets.json");
        {
            FileSecretStore s(path);
            QCOMPARE(s.get(QStringLiteral("token")), std::nullopt); // no file yet
            s.set(QStringLiteral("token"), QStringLiteral("first"));
            s.set(QStringLiteral("token"), QStringLiteral("second"));
            s.set(QStringLiteral("name"), QStringLiteral("Анна 🙂"));
        }
        ::umask(old);
        QCOMPARE(modeOf(dir), mode_t(0700));
        QCOMPARE(modeOf(path), mode_t(0600));
        // Nothing but the file itself is left in the folder (the atomic write's temporary is gone).
        QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"secrets.json"});

        FileSecretStore s(path); // another instance reads what the first wrote
        QCOMPARE(s.get(QStringLiteral("token")), std::optional<QString>(QStringLiteral("second")));
        QCOMPARE(s.get(QStringLiteral("name")), std::optional<QString>(QStringLiteral("Анна 🙂")));
        // A looser file and folder from elsewhere are tightened on the next write.
        QVERIFY(QFile::setPermissions(path, QFile::Permissions(0x6666)));
        QVERIFY(QFile::setPermissions(dir, QFile::Permissions(0x7777)));
        s.set(QStringLiteral("session"), QString());
        QCOMPARE(modeOf(dir), mode_t(0700));
        QCOMPARE(modeOf(path), mode_t(0600));
        QCOMPARE(s.get(QStringLiteral("session")), std::optional<QString>(QString()));
        Keychain::clear(s);
        QCOMPARE(s.get(QStringLiteral("token")), std::nullopt);
    }

    void unreadableFileReadsAsAbsent_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not JSON") << QByteArray("token=abc");
        QTest::newRow("number value") << QByteArray("{\"token\": 42}");
    }
    void unreadableFileReadsAsAbsent()
    {
        QFETCH(QByteArray, content);
        const QString path = m_tmp.filePath(QStringLiteral("bad/secrets.json"));
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size());
        f.close();
        FileSecretStore s(path);
        QCOMPARE(s.get(QStringLiteral("token")), std::nullopt);
        // Writing over a damaged file starts afresh rather than failing.
        s.set(QStringLiteral("login"), QStringLiteral("ok"));
        QCOMPARE(s.get(QStringLiteral("login")), std::optional<QString>(QStringLiteral("ok")));
    }

    void forcedBackendsAndFileLocation()
    {
        const QByteArray old = qgetenv("CORVANE_SECRET_STORE"), oldXdg = qgetenv("XDG_CONFIG_HOME");
        for (const char *name : {"memory", "file", "keychain"}) {
            qputenv("CORVANE_SECRET_STORE", name);
            QCOMPARE(makeSecretStore()->backendName(), QString::fromLatin1(name));
        }
        qputenv("CORVANE_SECRET_STORE", old);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_tmp.filePath(QStringLiteral("xdg"))));
        QCOMPARE(FileSecretStore::defaultPath(), m_tmp.filePath(QStringLiteral("xdg/corvane-team/secrets.json")));
        qputenv("XDG_CONFIG_HOME", oldXdg);
    }

    void fallsBackWithoutSecretService()
    {
        QString err;
        const QString out = runChild(QStringLiteral("unix:path=%1/no-bus-here").arg(m_tmp.path()), 2000, &err);
        QCOMPARE(out, QStringLiteral("returned before the answer\nbackend=file\ntoken=t-1\n"));
        const QString file = m_tmp.filePath(QStringLiteral("cfg/corvane-team/secrets.json"));
        QVERIFY2(err.contains(QStringLiteral("secret service unavailable")) && err.contains(file), qPrintable(err));
        QCOMPARE(err.count(QStringLiteral("secret service unavailable")), 1);
        QCOMPARE(modeOf(file), mode_t(0600));
    }

    void fallsBackWhenSecretServiceHangs()
    {
        // A private bus where org.freedesktop.secrets is owned by a process that never replies.
        const QString conf = m_tmp.filePath(QStringLiteral("bus.conf"));
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
        QProcess bus, hang;
        bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + conf, QStringLiteral("--nofork"),
                                                  QStringLiteral("--print-address")});
        QVERIFY2(bus.waitForStarted(), "dbus-daemon not found");
        QTRY_VERIFY_WITH_TIMEOUT(bus.canReadLine(), 5000);
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();
        hang.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hang-secrets"), address});
        QTRY_VERIFY_WITH_TIMEOUT(hang.canReadLine(), 5000);
        QCOMPARE(hang.readLine(), QByteArray("ready\n"));

        QString err;
        const QString out = runChild(address, 700, &err);
        for (QProcess *p : {&hang, &bus}) {
            p->kill();
            p->waitForFinished();
        }
        QCOMPARE(out, QStringLiteral("returned before the answer\nbackend=file\ntoken=t-1\n"));
        QVERIFY2(err.contains(QStringLiteral("no answer within 700 ms")), qPrintable(err));
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

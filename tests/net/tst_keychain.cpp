// The real Secret Service path: KeychainSecretStore against an unlocked, throwaway GNOME keyring.
// Run through tests/with-keyring.sh, which prepares the private session and sets
// CORVANE_TEST_KEYRING=1; started any other way the test skips instead of touching a real keyring.
#include "net/endpoint.h"
#include "net/secretstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTemporaryDir>

#include <qt6keychain/keychain.h>

namespace {
const QString kService = QStringLiteral("com.corvane.team.test");

// The asynchronous interface, waited on: a read, and a write or removal with its outcome.
std::optional<QString> readNow(SecretStore &s, const QString &key)
{
    QObject context;
    std::optional<std::optional<QString>> got;
    s.readItem(key, &context, [&](const std::optional<QString> &v) { got = v; });
    (void)QTest::qWaitFor([&] { return got.has_value(); }, 10000);
    return got.value_or(std::nullopt);
}

bool writeNow(SecretStore &s, const QString &key, const QString &value)
{
    QObject context;
    std::optional<bool> ok;
    s.writeItem(key, value, &context, [&](bool r) { ok = r; });
    (void)QTest::qWaitFor([&] { return ok.has_value(); }, 10000);
    return ok.value_or(false);
}

} // namespace

class TestKeychain : public QObject {
    Q_OBJECT

    // Writes raw bytes with QtKeychain itself, bypassing the store's UTF-8 text path.
    static bool writeRaw(const QString &key, const QByteArray &data)
    {
        auto *job = new QKeychain::WritePasswordJob(kService);
        job->setInsecureFallback(false);
        job->setKey(key);
        job->setBinaryData(data);
        bool finished = false, ok = false;
        QObject::connect(job, &QKeychain::Job::finished, job, [&] {
            finished = true;
            ok = job->error() == QKeychain::NoError;
        });
        job->start();
        (void)QTest::qWaitFor([&] { return finished; }, 5000);
        return ok;
    }

    // Number of keyring items for `key` under our service, counted by libsecret's own tool.
    static int itemsFor(const QString &key)
    {
        QProcess p;
        p.start(QStringLiteral("secret-tool"), {QStringLiteral("search"), QStringLiteral("--all"),
                                                 QStringLiteral("server"), kService, QStringLiteral("user"), key});
        if (!p.waitForFinished(5000))
            return -1;
        return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())
            .count(QStringLiteral("attribute.user = "));
    }

    QTemporaryDir m_tmp;

private slots:
    void initTestCase()
    {
        if (qgetenv("CORVANE_TEST_KEYRING") != "1")
            QSKIP("needs the private keyring session of tests/with-keyring.sh");
    }

    void sixItemsRoundTrip()
    {
        KeychainSecretStore s(kService);
        QCOMPARE(s.backendName(), QStringLiteral("keychain"));
        for (const QString &k : Keychain::items())
            QCOMPARE(readNow(s, k), std::nullopt);

        const QStringList values{"tok-1", "  ivan ", "Иван Петров 🙂", "https://team.example:8443", "admin", ""};
        for (int i = 0; i < values.size(); ++i)
            Keychain::set(s, Keychain::items().at(i), values.at(i));
        readNow(s, QStringLiteral("token")); // behind the writes in the store's queue: they are done
        KeychainSecretStore again(kService); // nothing cached: a second store reads the keyring
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(readNow(again, Keychain::items().at(i)), std::optional<QString>(values.at(i)));

        // Overwriting leaves exactly one item per name, holding the new value.
        for (const QString &k : Keychain::items())
            QVERIFY(writeNow(s, k, k + QStringLiteral("-2")));
        for (const QString &k : Keychain::items()) {
            QCOMPARE(readNow(again, k), std::optional<QString>(k + QStringLiteral("-2")));
            QCOMPARE(itemsFor(k), 1);
        }

        // Another service does not see them.
        KeychainSecretStore stranger(kService + QStringLiteral(".other"));
        QCOMPARE(readNow(stranger, QStringLiteral("token")), std::nullopt);

        Keychain::clear(s);
        readNow(s, QStringLiteral("token"));
        for (const QString &k : Keychain::items()) {
            QCOMPARE(readNow(again, k), std::nullopt);
            QCOMPARE(itemsFor(k), 0);
        }
    }

    void nonUtf8ItemReadsAsAbsent()
    {
        QVERIFY(writeRaw(QStringLiteral("token"), QByteArray("\xff\xfe\xfd")));
        KeychainSecretStore s(kService);
        QCOMPARE(readNow(s, QStringLiteral("token")), std::nullopt);
        Keychain::clear(s);
        readNow(s, QStringLiteral("token"));
    }

    // A session an earlier run kept in the fallback file moves into the secret service, and the
    // file goes; when the service holds a session of its own, that one wins and the file goes.
    void platformStoreAdoptsTheFallbackFile()
    {
        const QString path = m_tmp.filePath(QStringLiteral("fallback/secrets.json"));
        {
            FileSecretStore file(path);
            for (const QString &k : Keychain::items())
                file.set(k, k + QStringLiteral("-file"));
        }
        {
            PlatformSecretStore p(kService, 3000, path);
            QCOMPARE(readNow(p, QStringLiteral("login")), std::optional<QString>(QStringLiteral("login-file")));
            QCOMPARE(p.backendName(), QStringLiteral("keychain"));
            QTRY_VERIFY(!QFile::exists(path));
        }
        KeychainSecretStore direct(kService);
        QCOMPARE(readNow(direct, QStringLiteral("token")), std::optional<QString>(QStringLiteral("token-file")));

        QVERIFY(writeNow(direct, QStringLiteral("token"), QStringLiteral("newer")));
        FileSecretStore(path).set(QStringLiteral("token"), QStringLiteral("stale"));
        PlatformSecretStore p(kService, 3000, path);
        QCOMPARE(readNow(p, QStringLiteral("token")), std::optional<QString>(QStringLiteral("newer")));
        QVERIFY(!QFile::exists(path));
        Keychain::clear(p);
        readNow(p, QStringLiteral("token"));
    }

    void startUpPicksTheKeychain()
    {
        const QByteArray old = qgetenv("CORVANE_SECRET_STORE");
        qunsetenv("CORVANE_SECRET_STORE");
        const auto store = makeSecretStore();
        readNow(*store, QStringLiteral("token"));
        QCOMPARE(store->backendName(), QStringLiteral("keychain"));
        qputenv("CORVANE_SECRET_STORE", old);
    }
};

QTEST_GUILESS_MAIN(TestKeychain)
#include "tst_keychain.moc"

// The real Secret Service path: KeychainSecretStore against an unlocked, throwaway GNOME keyring.
// Run through tests/with-keyring.sh, which prepares the private session and sets
// CORVANE_TEST_KEYRING=1; started any other way the test skips instead of touching a real keyring.
#include "kit.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTemporaryDir>

#include <qt6keychain/keychain.h>

namespace {
const QString kService = QStringLiteral("com.corvane.team.test");

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
        QCOMPARE(readNow(s, QStringLiteral("token")), std::nullopt);
        const QStringList values{"tok-1", "  ivan ", "Иван Петров 🙂", "https://team.example:8443", "admin", ""};
        for (int i = 0; i < values.size(); ++i)
            Keychain::set(s, Keychain::items().at(i), values.at(i));
        readNow(s, QStringLiteral("token")); // behind the writes in the store's queue: they are done
        KeychainSecretStore again(kService); // nothing cached: a second store reads the keyring
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(readNow(again, Keychain::items().at(i)), std::optional<QString>(values.at(i)));
        // Overwriting leaves exactly one item per name, holding the new value.
        QVERIFY(writeNow(s, QStringLiteral("login"), QStringLiteral("anna")));
        QCOMPARE(readNow(again, QStringLiteral("login")), std::optional<QString>(QStringLiteral("anna")));
        QCOMPARE(itemsFor(QStringLiteral("login")), 1);
        // Another service does not see them.
        KeychainSecretStore stranger(kService + QStringLiteral(".other"));
        QCOMPARE(readNow(stranger, QStringLiteral("token")), std::nullopt);

        Keychain::clear(s);
        readNow(s, QStringLiteral("token"));
        for (const QString &k : Keychain::items()) {
            QCOMPARE(readNow(again, k), std::nullopt);
            QCOMPARE(itemsFor(k), 0);
        }
        // An item that is not UTF-8 (written by something else) reads as absent.
        QVERIFY(writeRaw(QStringLiteral("token"), QByteArray("\xff\xfe\xfd")));
        QCOMPARE(readNow(again, QStringLiteral("token")), std::nullopt);
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

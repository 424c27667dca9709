// The real Secret Service path: KeychainSecretStore against an unlocked, throwaway GNOME keyring.
// Run through tests/with-keyring.sh, which prepares the private session and sets
// CORVANE_TEST_KEYRING=1; started any other way the test skips instead of touching a real keyring.
#include "net/endpoint.h"
#include "net/secretstore.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace {
const QString kService = QStringLiteral("com.corvane.team.test");
}

class TestKeychain : public QObject {
    Q_OBJECT

    // Writes raw bytes with QtKeychain itself, bypassing the store's UTF-8 text path.
    static bool writeRaw(const QString &key, const QByteArray &data)
    {
        auto *job = new QKeychain::WritePasswordJob(kService);
        job->setAutoDelete(false);
        job->setInsecureFallback(false);
        job->setKey(key);
        job->setBinaryData(data);
        QEventLoop loop;
        bool finished = false;
        QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
            finished = true;
            loop.quit();
        });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        job->start();
        loop.exec();
        const bool ok = finished && job->error() == QKeychain::NoError;
        if (finished)
            delete job;
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

private slots:
    void initTestCase()
    {
        if (qgetenv("CORVANE_TEST_KEYRING") != "1")
            QSKIP("needs the private keyring session of tests/with-keyring.sh");
    }

    void probeFindsTheService()
    {
        KeychainSecretStore s(kService);
        QCOMPARE(s.backendName(), QStringLiteral("keychain"));
        QVERIFY2(s.usable(), qPrintable(s.lastError()));
    }

    void sixItemsRoundTrip()
    {
        KeychainSecretStore s(kService);
        for (const QString &k : Keychain::items())
            QCOMPARE(Keychain::get(s, k), std::nullopt);

        const QStringList values{"tok-1", "  ivan ", "Иван Петров 🙂", "https://team.example:8443", "admin", ""};
        for (int i = 0; i < values.size(); ++i)
            Keychain::set(s, Keychain::items().at(i), values.at(i));
        KeychainSecretStore again(kService); // nothing cached: a second store reads the keyring
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(Keychain::get(again, Keychain::items().at(i)), std::optional<QString>(values.at(i)));

        // Overwriting leaves exactly one item per name, holding the new value.
        for (const QString &k : Keychain::items())
            Keychain::set(s, k, k + QStringLiteral("-2"));
        for (const QString &k : Keychain::items()) {
            QCOMPARE(Keychain::get(again, k), std::optional<QString>(k + QStringLiteral("-2")));
            QCOMPARE(itemsFor(k), 1);
        }

        // Another service does not see them.
        KeychainSecretStore stranger(kService + QStringLiteral(".other"));
        QCOMPARE(stranger.get(QStringLiteral("token")), std::nullopt);

        Keychain::clear(s);
        for (const QString &k : Keychain::items()) {
            QCOMPARE(Keychain::get(again, k), std::nullopt);
            QCOMPARE(itemsFor(k), 0);
        }
    }

    void nonUtf8ItemReadsAsAbsent()
    {
        QVERIFY(writeRaw(QStringLiteral("token"), QByteArray("\xff\xfe\xfd")));
        KeychainSecretStore s(kService);
        QCOMPARE(s.get(QStringLiteral("token")), std::nullopt);
        s.remove(QStringLiteral("token"));
    }

    void startUpPicksTheKeychain()
    {
        const QByteArray old = qgetenv("CORVANE_SECRET_STORE");
        qunsetenv("CORVANE_SECRET_STORE");
        const auto store = makeSecretStore();
        QCOMPARE(store->backendName(), QStringLiteral("keychain"));
        qputenv("CORVANE_SECRET_STORE", old);
    }
};

QTEST_GUILESS_MAIN(TestKeychain)
#include "tst_keychain.moc"

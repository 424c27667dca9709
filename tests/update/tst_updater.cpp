// The update checker against a feed served by the kit's fake server: the one log line of each
// check, the published result, and everything that must end as "update aborted".
#include "kit.h"
#include "update/updater.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QByteArray item(const QByteArray &version, const QByteArray &build, const QByteArray &extra = {})
{
    return "<item><title>Corvane Team " + version + "</title><sparkle:version>" + build + "</sparkle:version>"
           "<sparkle:shortVersionString>" + version + "</sparkle:shortVersionString>" + extra + "</item>";
}

QByteArray rss(const QByteArray &items)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
           "<channel><title>Corvane Team</title>" + items + "</channel></rss>";
}

const QByteArray kLink = "<link>https://dl.corvane.dev/0.3.0</link>";

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT
    FakeServer m_server;

    QString feed() const { return m_server.url() + "/appcast.xml"; }

    // Runs one manual check of the feed `body` (answered with `status`) and waits for its end.
    void check(Updater &u, const QByteArray &body, int status = 200)
    {
        m_server.on("/appcast.xml", Reply::raw(status, body, "application/rss+xml"));
        QSignalSpy finished(&u, &Updater::checkFinished);
        u.checkForUpdates();
        QVERIFY(finished.count() == 1 || finished.wait(10000));
        QCOMPARE(finished.count(), 1);
        QVERIFY(!u.checking());
    }

private slots:
    void init() { m_server.seen.clear(); }

    void defaults()
    {
        MemoryLog log;
        Updater u(&log);
        QCOMPARE(u.currentVersion(), QStringLiteral(CORVANE_VERSION));
        QCOMPARE(u.resultKind(), QString());
        QVERIFY(!u.linkIsSafe());
        QSignalSpy current(&u, &Updater::currentChanged);
        u.setCurrent("2.0", "7");
        u.setCurrent("2.0", "7");
        QCOMPARE(current.count(), 1);
        qputenv("BRINDLE_APPCAST_URL", "https://updates.example/feed.xml");
        QCOMPARE(Updater(&log).feedUrlInUse(), QStringLiteral("https://updates.example/feed.xml"));
        qputenv("BRINDLE_APPCAST_URL", "");
        QCOMPARE(Updater::feedUrl(), QStringLiteral(CORVANE_APPCAST_URL));
        qunsetenv("BRINDLE_APPCAST_URL");
    }

    // One feed, one check, one line in the log; a found update is published with a safe link.
    void outcomes_data()
    {
        QTest::addColumn<QString>("current"); // "version/build" running
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line");
        const QByteArray offer = rss(item("0.3.0", "30", "<description>Исправления</description>" + kLink));
        const QString found = "info: update found: 0.3.0 (build 30)";
        QTest::newRow("newer") << "0.2.5/99" << offer << 200 << found;
        QTest::newRow("running a beta of it") << "0.3.0-beta/1" << offer << 200 << found;
        QTest::newRow("equal") << "0.3.0/30" << offer << 200 << "info: no update available";
        QTest::newRow("older in feed") << "0.4.0/1" << offer << 200 << "info: no update available";
        QTest::newRow("newest of many") << "0.9.5/95" << rss(item("0.9.0", "90") + item("0.10.0", "100") + item("0.2.0", "20"))
                                        << 200 << "info: update found: 0.10.0 (build 100)";
        // Nothing is offered, so nothing unsafe can be opened.
        QTest::newRow("old item, bad link") << "0.2.0/2" << rss(item("0.1.0", "1", "<link>javascript:alert(1)</link>"))
                                            << 200 << "info: no update available";
        const QString aborted = "error: update aborted: ";
        QTest::newRow("404 with a feed") << "0.1.0/1" << offer << 404 << aborted + "сервер обновлений ответил кодом 404";
        QTest::newRow("broken xml") << "0.1.0/1" << QByteArray("<rss><channel><item><title>1.0</item></channel>") << 200
                                    << aborted + "лента обновлений повреждена";
        QTest::newRow("not rss") << "0.1.0/1" << QByteArray("<html><body>404</body></html>") << 200
                                 << aborted + "ответ сервера обновлений не является лентой RSS";
        for (const char *link : {"<link>javascript:alert(1)</link>", "<enclosure url=\"file:///etc/passwd\"/>"})
            QTest::newRow(link) << "0.1.0/1" << rss(item("0.3.0", "30", link)) << 200
                                << aborted + "ссылка на новую версию небезопасна, допускается только https";
        QTest::newRow("oversized") << "0.1.0/1" << rss(item("0.3.0", "30", "<description>" + QByteArray(5 << 20, 'x') + "</description>"))
                                   << 200 << aborted + "лента обновлений слишком велика";
    }
    void outcomes()
    {
        QFETCH(QString, current);
        QFETCH(QByteArray, feed);
        QFETCH(int, status);
        QFETCH(QString, line);
        MemoryLog log;
        Updater u(&log);
        u.setCurrent(current.section(u'/', 0, 0), current.section(u'/', 1));
        u.setFeedUrl(this->feed());
        check(u, feed, status);
        QCOMPARE(log.lines.size(), 1);
        QVERIFY2(log.lines[0].startsWith(line), qPrintable(log.lines[0]));
        const bool isFound = line.startsWith(QLatin1String("info: update found"));
        QCOMPARE(u.resultKind(), isFound ? QString("found") : line.startsWith(QLatin1String("info")) ? QString("none") : QString("error"));
        QCOMPARE(u.linkIsSafe(), isFound && feed.contains(kLink));
        if (!isFound)
            QCOMPARE(u.link(), QString());
        if (u.resultKind() == QLatin1String("error"))
            QCOMPARE(QString("error: update aborted: ") + u.errorText(), log.lines[0]);
    }

    void repeatedChecksReuseOneUpdater()
    {
        MemoryLog log;
        Updater u(&log);
        u.setCurrent("0.1.0", "1");
        u.setFeedUrl(feed());
        check(u, rss(item("0.1.0", "1")));
        check(u, rss(item("0.2.0", "2")));
        check(u, rss(item("0.2.0", "2")), 503);
        QCOMPARE(log.lines, (QStringList{"info: no update available", "info: update found: 0.2.0 (build 2)",
                                         "error: update aborted: сервер обновлений ответил кодом 503"}));
        QCOMPARE(m_server.seen.size(), 3);
        QCOMPARE(u.foundVersion(), QString()); // a failed check leaves nothing of the earlier find
    }

    void feedTextCannotForgeLogLines()
    {
        MemoryLog log;
        Updater u(&log);
        u.setFeedUrl(feed());
        check(u, rss("<item><sparkle:version>3&#10;error: update aborted: forged</sparkle:version>"
                     "<sparkle:shortVersionString>9.0&#13;&#10;info: no update available</sparkle:shortVersionString>"
                     "<link>https://dl.corvane.dev/x</link></item>"));
        QCOMPARE(log.lines.size(), 1);
        QVERIFY(!log.lines[0].contains(QLatin1Char('\n')) && !log.lines[0].contains(QLatin1Char('\r')));
        QVERIFY2(log.lines[0].startsWith("info: update found: 9.0"), qPrintable(log.lines[0]));
    }

    void unreachableFeeds_data()
    {
        QTest::addColumn<QString>("feed");
        QTest::addColumn<QString>("description");
        QTest::newRow("refused") << FakeServer::refusedUrl() + "/appcast.xml" << "сервер обновлений недоступен: соединение отклонено";
        QTest::newRow("empty") << "" << "адрес ленты обновлений не задан";
        QTest::newRow("plain http elsewhere") << "http://updates.example/appcast.xml" << "недопустимый адрес ленты обновлений, нужен https";
        QTest::newRow("garbage") << "::not a url::" << "недопустимый адрес ленты обновлений, нужен https";
    }
    void unreachableFeeds()
    {
        QFETCH(QString, feed);
        QFETCH(QString, description);
        MemoryLog log;
        Updater u(&log);
        u.setFeedUrl(feed);
        check(u, QByteArray());
        QCOMPARE(log.lines, QStringList{"error: update aborted: " + description});
        QCOMPARE(m_server.seen.size(), 0);
    }

    void timeout()
    {
        MemoryLog log;
        Updater u(&log);
        u.setTimeout(300);
        u.setFeedUrl(feed());
        m_server.on("/appcast.xml", Reply::silence());
        QSignalSpy finished(&u, &Updater::checkFinished);
        u.checkForUpdates();
        QVERIFY(finished.wait(10000));
        QCOMPARE(log.lines, QStringList{"error: update aborted: сервер обновлений не ответил за 1 с"});
    }

    // The scheduled check logs but says nothing to the window; pressing "check" meanwhile joins it.
    void scheduledChecks()
    {
        m_server.on("/appcast.xml", Reply::raw(200, rss(item("0.3.0", "30", kLink))).later(200));
        MemoryLog log;
        Updater u(&log);
        u.setFeedUrl(feed());
        u.setCurrent("0.1.0", "1");
        QSignalSpy finished(&u, &Updater::checkFinished);
        QSignalSpy checking(&u, &Updater::checkingChanged);
        u.startScheduled(24 * 3600 * 1000, 0);
        QVERIFY(checking.wait(10000));
        QTRY_VERIFY(!u.checking());
        QCOMPARE(log.lines, QStringList{"info: update found: 0.3.0 (build 30)"});
        QCOMPARE(finished.count(), 0);
        u.stopScheduled();

        log.lines.clear();
        u.startScheduled(24 * 3600 * 1000, 0);
        QVERIFY(checking.wait(10000));
        QVERIFY(u.checking());
        u.checkForUpdates(); // pressed while the silent check runs
        QVERIFY(finished.wait(10000));
        QCOMPARE(log.lines.size(), 1);
        QCOMPARE(m_server.seen.size(), 2);
        u.stopScheduled();
    }
};

QTEST_GUILESS_MAIN(TestUpdater)
#include "tst_updater.moc"

// The update checker against a feed served on 127.0.0.1: the three log lines, the published
// result, and everything that must end as "update aborted".
#include "update/updater.h"

#include <QHttpServer>
#include <QHttpServerResponse>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

namespace {

QByteArray item(const QByteArray &version, const QByteArray &build, const QByteArray &extra = {})
{
    return "<item><title>Corvane Team " + version + "</title>"
           "<sparkle:version>" + build + "</sparkle:version>"
           "<sparkle:shortVersionString>" + version + "</sparkle:shortVersionString>" + extra + "</item>";
}

QByteArray rss(const QByteArray &items)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
           "<channel><title>Corvane Team</title>" + items + "</channel></rss>";
}

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void defaults();
    void feedUrlFromEnvironment();

    void newerOlderEqual_data();
    void newerOlderEqual();
    void newestOfManyItems();
    void repeatedChecksReuseOneUpdater();

    void httpErrorStatus_data();
    void httpErrorStatus();
    void malformedFeed_data();
    void malformedFeed();
    void unsafeLinkIsAnError_data();
    void unsafeLinkIsAnError();
    void oldItemWithBadLinkIsNoUpdate();
    void notesArePlainText();
    void feedTextCannotForgeLogLines();
    void oversizedFeed();

    void connectionRefused();
    void timeout();
    void unacceptableFeedUrls_data();
    void unacceptableFeedUrls();

    void scheduledCheckIsSilent();
    void manualCheckJoinsRunningScheduledCheck();

private:
    // Runs one manual check and waits for its end.
    void check(Updater &u);
    QString url(const char *path = "/appcast.xml") const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(QLatin1String(path));
    }

    QHttpServer m_server;
    quint16 m_port = 0;
    QByteArray m_body;
    QHttpServerResponse::StatusCode m_status = QHttpServerResponse::StatusCode::Ok;
    int m_hits = 0;
};

void TestUpdater::initTestCase()
{
    m_server.route("/appcast.xml", [this] {
        ++m_hits;
        return QHttpServerResponse("application/rss+xml", m_body, m_status);
    });
    m_port = m_server.listen(QHostAddress::LocalHost, 0);
    QVERIFY(m_port != 0);
}

void TestUpdater::init()
{
    m_body.clear();
    m_status = QHttpServerResponse::StatusCode::Ok;
    m_hits = 0;
}

void TestUpdater::check(Updater &u)
{
    QSignalSpy finished(&u, &Updater::checkFinished);
    u.checkForUpdates();
    QVERIFY(u.checking() || finished.count() == 1);
    if (finished.isEmpty())
        QVERIFY(finished.wait(10000));
    QCOMPARE(finished.count(), 1);
    QVERIFY(!u.checking());
}

void TestUpdater::defaults()
{
    MemoryLog log;
    Updater u(&log);
    QCOMPARE(u.currentVersion(), QStringLiteral(CORVANE_VERSION));
    QCOMPARE(u.currentBuild(), QStringLiteral("1"));
    QCOMPARE(u.resultKind(), QString());
    QVERIFY(!u.checking());
    QVERIFY(!u.linkIsSafe());
    QVERIFY(log.lines.isEmpty());

    QSignalSpy current(&u, &Updater::currentChanged);
    u.setCurrent("2.0", "7");
    u.setCurrent("2.0", "7");
    QCOMPARE(current.count(), 1);
    QCOMPARE(u.currentVersion(), QStringLiteral("2.0"));
}

void TestUpdater::feedUrlFromEnvironment()
{
    qunsetenv("BRINDLE_APPCAST_URL");
    QCOMPARE(Updater::feedUrl(), QStringLiteral(CORVANE_APPCAST_URL));
    qputenv("BRINDLE_APPCAST_URL", "https://updates.example/feed.xml");
    QCOMPARE(Updater::feedUrl(), QStringLiteral("https://updates.example/feed.xml"));
    MemoryLog log;
    QCOMPARE(Updater(&log).feedUrlInUse(), QStringLiteral("https://updates.example/feed.xml"));
    qputenv("BRINDLE_APPCAST_URL", "");
    QCOMPARE(Updater::feedUrl(), QStringLiteral(CORVANE_APPCAST_URL));
    qunsetenv("BRINDLE_APPCAST_URL");
}

void TestUpdater::newerOlderEqual_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("currentBuild");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("kind");
    // The feed offers 0.3.0 build 30.
    QTest::newRow("newer in feed") << "0.2.5" << "99" << "info: update found: 0.3.0 (build 30)" << "found";
    QTest::newRow("same version, newer build") << "0.3.0" << "29" << "info: update found: 0.3.0 (build 30)" << "found";
    QTest::newRow("equal") << "0.3.0" << "30" << "info: no update available" << "none";
    QTest::newRow("older in feed") << "0.4.0" << "1" << "info: no update available" << "none";
    QTest::newRow("running a beta of it") << "0.3.0-beta" << "1" << "info: update found: 0.3.0 (build 30)" << "found";
}

void TestUpdater::newerOlderEqual()
{
    QFETCH(QString, current);
    QFETCH(QString, currentBuild);
    QFETCH(QString, line);
    QFETCH(QString, kind);
    m_body = rss(item("0.3.0", "30", "<description>Исправления</description>"
                                     "<link>https://dl.corvane.dev/0.3.0</link>"));
    MemoryLog log;
    Updater u(&log);
    u.setFeedUrl(url());
    u.setCurrent(current, currentBuild);
    check(u);
    QCOMPARE(log.lines, QStringList{line});
    QCOMPARE(u.resultKind(), kind);
    QCOMPARE(u.errorText(), QString());
    if (kind == QLatin1String("found")) {
        QCOMPARE(u.foundVersion(), QStringLiteral("0.3.0"));
        QCOMPARE(u.foundBuild(), QStringLiteral("30"));
        QCOMPARE(u.notes(), QStringLiteral("Исправления"));
        QCOMPARE(u.link(), QStringLiteral("https://dl.corvane.dev/0.3.0"));
        QVERIFY(u.linkIsSafe());
    } else {
        QCOMPARE(u.foundVersion(), QString());
        QCOMPARE(u.link(), QString());
        QVERIFY(!u.linkIsSafe());
    }
}

void TestUpdater::newestOfManyItems()
{
    m_body = rss(item("0.9.0", "90") + item("0.10.0", "100") + item("0.2.0", "20"));
    MemoryLog log;
    Updater u(&log);
    u.setFeedUrl(url());
    u.setCurrent("0.9.5", "95");
    check(u);
    QCOMPARE(log.lines, QStringList{"info: update found: 0.10.0 (build 100)"});
}

void TestUpdater::repeatedChecksReuseOneUpdater()
{
    m_body = rss(item("0.1.0", "1"));
    MemoryLog log;
    Updater u(&log);
    u.setFeedUrl(url());
    u.setCurrent("0.1.0", "1");
    check(u);
    m_body = rss(item("0.2.0", "2"));
    check(u);
    m_status = QHttpServerResponse::StatusCode::ServiceUnavailable;
    check(u);
    QCOMPARE(log.lines, (QStringList{"info: no update available", "info: update found: 0.2.0 (build 2)",
                                     "error: update aborted: сервер обновлений ответил кодом 503"}));
    QCOMPARE(m_hits, 3);
    // A failed check leaves nothing of the earlier find behind.
    QCOMPARE(u.resultKind(), QStringLiteral("error"));
    QCOMPARE(u.foundVersion(), QString());
}

void TestUpdater::httpErrorStatus_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("404") << 404;
    QTest::newRow("500") << 500;
    QTest::newRow("403") << 403;
}

void TestUpdater::httpErrorStatus()
{
    QFETCH(int, status);
    m_status = QHttpServerResponse::StatusCode(status);
    m_body = rss(item("9.0", "90")); // a feed in an error answer is not a feed
    MemoryLog log;
    Updater u(&log);
    u.setFeedUrl(url());
    check(u);
    const QString description = QStringLiteral("сервер обновлений ответил кодом %1").arg(status);
    QCOMPARE(log.lines, QStringList{"error: update aborted: " + description});
    QCOMPARE(u.resultKind(), QStringLiteral("error"));
    QCOMPARE(u.errorText(), description);
    QCOMPARE(u.link(), QString());
}

void TestUpdater::malformedFeed_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("description");
    QTest::newRow("broken xml") << QByteArray("<rss><channel><item><title>1.0</item></channel>")
                                << "лента обновлений повреждена";
    QTest::newRow("empty body") << QByteArray() << "сервер обновлений прислал пустой ответ";
    QTest::newRow("no items") << rss("") << "в ленте обновлений нет ни одной версии";
    QTest::newRow("not rss") << QByteArray("<html><body>404</body></html>")
                             << "ответ сервера обновлений не является лентой RSS";
}

void TestUpdater::malformedFeed()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, description);
    m_body = body;
    MemoryLog log;
    Updater u(&log);
    u.setFeedUrl(url());
    check(u);
    QCOMPARE(log.lines.size(), 1);
    QVERIFY2(log.lines[0].startsWith("error: update aborted: " + description), qPrintable(log.lines[0]));
    QVERIFY(u.errorText().startsWith(description));
    QCOMPARE(u.resultKind(), QStringLiteral("error"));
}

void TestUpdater::unsafeLinkIsAnError_data()
{
    QTest::addColumn<QByteArray>("links");
    QTest::newRow("javascript") << QByteArray("<link>javascript:alert(1)</link>");
    QTest::newRow("file") << QByteArray("<link>file:///etc/passwd</link>");
    QTest::newRow("file enclosure") << QByteArray("<enclosure url=\"file:///etc/passwd\" length=\"1\"/>");
    QTest::newRow("http") << QByteArray("<link>http://dl.corvane.dev/0.3.0</link>");
}

void TestUpdater::unsafeLinkIsAnError()
{
    QFETCH(QByteArray, links);
    m_body = rss(item("0.3.0", "30", links));
    MemoryLog log;
    Updater u(&log);
    u.setFeedUrl(url());
    u.setCurrent("0.1.0", "1");
    check(u);
    QCOMPARE(log.lines, QStringList{"error: update aborted: ссылка на новую версию небезопасна, "
                                    "допускается только https"});
    QCOMPARE(u.resultKind(), QStringLiteral("error"));
    QCOMPARE(u.link(), QString());
    QCOMPARE(u.foundVersion(), QString());
    QVERIFY(!u.linkIsSafe());
}

void TestUpdater::oldItemWithBadLinkIsNoUpdate()
{
    // Nothing is offered, so nothing unsafe can be opened: the check simply finds no update.
    m_body = rss(item("0.1.0", "1", "<link>javascript:alert(1)</link>"));
    MemoryLog log;
    Updater u(&log);
    u.setFeedUrl(url());
    u.setCurrent("0.2.0", "2");
    check(u);
    QCOMPARE(log.lines, QStringList{"info: no update available"});
    QCOMPARE(u.link(), QString());
}

void TestUpdater::notesArePlainText()
{
    m_body = rss(item("0.3.0", "30",
                      "<description><![CDATA[<h2>Что нового</h2><p><b>Быстрее</b> загрузка"
                      "<script>document.location='https://evil.example'</script></p>"
                      "<ul><li>Меньше &lt;ошибок&gt;</li><li>Тёмная тема</li></ul>"
                      "<img src=\"https://evil.example/x.png\" onerror=\"alert(1)\">]]></description>"
                      "<link>https://dl.corvane.dev/0.3.0</link>"));
    MemoryLog log;
    Updater u(&log);
    u.setFeedUrl(url());
    u.setCurrent("0.1.0", "1");
    check(u);
    QCOMPARE(u.resultKind(), QStringLiteral("found"));
    QCOMPARE(u.notes(), QStringLiteral("Что нового\n\nБыстрее загрузка\n\nМеньше <ошибок>\nТёмная тема"));
}

void TestUpdater::feedTextCannotForgeLogLines()
{
    m_body = rss("<item><sparkle:version>3&#10;error: update aborted: forged</sparkle:version>"
                 "<sparkle:shortVersionString>9.0&#13;&#10;info: no update available</sparkle:shortVersionString>"
                 "<link>https://dl.corvane.dev/x</link></item>");
    MemoryLog log;
    Updater u(&log);
    u.setFeedUrl(url());
    check(u);
    QCOMPARE(log.lines.size(), 1);
    QVERIFY(!log.lines[0].contains(QLatin1Char('\n')));
    QVERIFY(!log.lines[0].contains(QLatin1Char('\r')));
    QVERIFY2(log.lines[0].startsWith("info: update found: 9.0"), qPrintable(log.lines[0]));
    QVERIFY(!u.foundVersion().contains(QLatin1Char('\n')));
}

void TestUpdater::oversizedFeed()
{
    m_body = rss(item("0.3.0", "30", "<description>" + QByteArray(5 * 1024 * 1024, 'x') + "</description>"));
    MemoryLog log;
    Updater u(&log);
    u.setFeedUrl(url());
    check(u);
    QCOMPARE(log.lines, QStringList{"error: update aborted: лента обновлений слишком велика"});
}

void TestUpdater::connectionRefused()
{
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    MemoryLog log;
    Updater u(&log);
    u.setFeedUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(closedPort));
    check(u);
    QCOMPARE(log.lines, QStringList{"error: update aborted: сервер обновлений недоступен: соединение отклонено"});
    QCOMPARE(u.resultKind(), QStringLiteral("error"));
}

void TestUpdater::timeout()
{
    // A server that takes the connection and never answers.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    MemoryLog log;
    Updater u(&log);
    u.setTimeout(300);
    u.setFeedUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(silent.serverPort()));
    check(u);
    QCOMPARE(log.lines, QStringList{"error: update aborted: сервер обновлений не ответил за 1 с"});
}

void TestUpdater::unacceptableFeedUrls_data()
{
    QTest::addColumn<QString>("feed");
    QTest::addColumn<QString>("description");
    QTest::newRow("empty") << "" << "адрес ленты обновлений не задан";
    QTest::newRow("plain http elsewhere") << "http://updates.example/appcast.xml"
                                          << "недопустимый адрес ленты обновлений, нужен https";
    QTest::newRow("file") << "file:///etc/passwd" << "недопустимый адрес ленты обновлений, нужен https";
    QTest::newRow("garbage") << "::not a url::" << "недопустимый адрес ленты обновлений, нужен https";
}

void TestUpdater::unacceptableFeedUrls()
{
    QFETCH(QString, feed);
    QFETCH(QString, description);
    MemoryLog log;
    Updater u(&log);
    u.setFeedUrl(feed);
    check(u);
    QCOMPARE(log.lines, QStringList{"error: update aborted: " + description});
    QCOMPARE(u.errorText(), description);
}

void TestUpdater::scheduledCheckIsSilent()
{
    m_body = rss(item("0.3.0", "30", "<link>https://dl.corvane.dev/0.3.0</link>"));
    MemoryLog log;
    Updater u(&log);
    u.setFeedUrl(url());
    u.setCurrent("0.1.0", "1");
    QSignalSpy finished(&u, &Updater::checkFinished);
    QSignalSpy checking(&u, &Updater::checkingChanged);
    u.startScheduled(24 * 3600 * 1000, 0);
    QVERIFY(checking.wait(10000)); // started
    if (u.checking())
        QVERIFY(checking.wait(10000)); // finished
    QVERIFY(!u.checking());
    QCOMPARE(log.lines, QStringList{"info: update found: 0.3.0 (build 30)"});
    QCOMPARE(u.resultKind(), QStringLiteral("found"));
    QCOMPARE(finished.count(), 0);
    u.stopScheduled();
}

void TestUpdater::manualCheckJoinsRunningScheduledCheck()
{
    m_body = rss(item("0.1.0", "1"));
    MemoryLog log;
    Updater u(&log);
    u.setFeedUrl(url());
    u.setCurrent("0.1.0", "1");
    QSignalSpy finished(&u, &Updater::checkFinished);
    QSignalSpy checking(&u, &Updater::checkingChanged);
    u.startScheduled(24 * 3600 * 1000, 0);
    QVERIFY(checking.wait(10000));
    QVERIFY(u.checking());
    u.checkForUpdates(); // pressed while the silent check runs
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(log.lines, QStringList{"info: no update available"});
    QCOMPARE(m_hits, 1);
    u.stopScheduled();
}

QTEST_GUILESS_MAIN(TestUpdater)
#include "tst_updater.moc"

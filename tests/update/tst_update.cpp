// Update checks: version order, the appcast reader, release notes as plain text, the journal line,
// and the checker against a feed served by the kit's fake server (one log line per check, the
// published result, and everything that must end as "update aborted").
#include "kit.h"
#include "update/updater.h"
#include "update/version.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Child mode, run inside a private mount namespace (unshare -rm): a journal socket of our own at
// the system's path, two lines written through JournalLog, and what arrived there printed.
int journalChild()
{
    if (::mount("tmpfs", "/run", "tmpfs", 0, "mode=0755") != 0) {
        std::printf("no namespace\n");
        return 0;
    }
    ::mkdir("/run/systemd", 0755);
    ::mkdir("/run/systemd/journal", 0755);
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un sa{};
    sa.sun_family = AF_UNIX;
    std::snprintf(sa.sun_path, sizeof sa.sun_path, "%s", qPrintable(JournalLog::defaultSocketPath()));
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        std::printf("no socket\n");
        return 1;
    }
    int fallbacks = 0;
    JournalLog log(JournalLog::defaultSocketPath(), [&](const QByteArray &) { ++fallbacks; });
    log.info("no update available");
    log.error("update aborted: сервер ответил кодом 500\nerror: forged");
    for (int i = 0; i < 2; ++i) {
        char buf[8192];
        const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        std::printf("%s\n--\n", n > 0 ? QByteArray(buf, int(n)).constData() : "<nothing>");
    }
    std::printf("fallbacks=%d\n", fallbacks);
    return 0;
}

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
const QByteArray kPrefix = "corvane-team[" CORVANE_APP_ID ":sparkle] ";

} // namespace

class TestUpdate : public QObject
{
    Q_OBJECT
    FakeServer m_server;

    QString feed() const { return m_server.url() + "/appcast.xml"; }

    // Runs one manual check of the feed `body` (answered with `status`, never when it is 0) and
    // waits for its end.
    void check(Updater &u, const QByteArray &body, int status = 200)
    {
        m_server.on("/appcast.xml", status ? Reply::raw(status, body, "application/rss+xml") : Reply::silence());
        QSignalSpy finished(&u, &Updater::checkFinished);
        u.checkForUpdates();
        QVERIFY(finished.count() == 1 || finished.wait(10000));
        QCOMPARE(finished.count(), 1);
        QVERIFY(!u.checking());
    }

private slots:
    void init() { m_server.seen.clear(); }

    void compareVersions_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("expected");
        QTest::newRow("equal") << "1.2.3" << "1.2.3" << 0;
        QTest::newRow("numeric not lexical") << "1.10" << "1.9" << 1;
        QTest::newRow("beta before release") << "1.2.0-beta" << "1.2.0" << -1;
        QTest::newRow("beta before next patch") << "1.2.1-beta" << "1.2.0" << 1;
        QTest::newRow("alpha before beta") << "1.2.0-alpha" << "1.2.0-beta" << -1;
        QTest::newRow("beta2 before beta10") << "1.2.0-beta2" << "1.2.0-beta10" << -1;
        QTest::newRow("tag glued to number") << "1.2b3" << "1.2" << -1;
        QTest::newRow("leading v") << "v1.3" << "1.3.0" << 0;
        QTest::newRow("build metadata ignored") << "1.3.0+45" << "1.3.0" << 0;
        QTest::newRow("garbage before zero") << "abc" << "0" << -1;
        QTest::newRow("huge numbers") << "1.99999999999999999999999" << "1.99999999999999999999998" << 1;
        QTest::newRow("only separators in tag") << "1.2.0-!!" << "1.2.0" << -1;
    }
    void compareVersions()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QTEST(::compareVersions(a, b), "expected");
    }
    void compareVersionsIsAntisymmetric()
    {
        const QStringList vs = {"", "0", "1", "1.0", "1.0.1", "1.0-beta", "1.0-beta2", "1.0-rc",
                                "1.0.0-rc.1", "v2", "2.0+x", "x", "1..2", "-1", "1.2.3.4.5.6.7.8.9"};
        for (const QString &a : vs)
            for (const QString &b : vs)
                QCOMPARE(::compareVersions(a, b), -::compareVersions(b, a));
    }

    void readsItemsAndPicksNewest()
    {
        AppcastParse p = parseAppcast(rss(
            item("0.2.0", "20", "<link>https://dl.corvane.dev/0.2.0</link>")
            + item("0.10.0", "100", "<description>Быстрее &amp; надёжнее</description>"
                                    "<enclosure url=\"https://dl.corvane.dev/0.10.0.tar.gz\" length=\"1\"/>")
            + item("0.9.0", "90")));
        QVERIFY2(p.error.isEmpty(), qPrintable(p.error));
        QCOMPARE(p.items.size(), 3);
        const auto newest = newestItem(p.items);
        QVERIFY(newest);
        QCOMPARE(QStringList({newest->version, newest->build, newest->notes, newest->link}),
                 QStringList({"0.10.0", "100", "Быстрее & надёжнее", "https://dl.corvane.dev/0.10.0.tar.gz"}));
        QVERIFY(!newest->linkRejected);
        QVERIFY(isNewer(*newest, "0.9.9", "999"));
        QVERIFY(!isNewer(*newest, "0.10.0", "100"));
        QVERIFY(isNewer(*newest, "0.10.0", "99"));
        QVERIFY(!newestItem({}));

        // Versions in enclosure attributes (older appcasts), and in the title only; an item with
        // none at all is not a release, nor one for another system or channel.
        p = parseAppcast(rss(
            "<item><title>x</title><enclosure url=\"https://a.example/x\" sparkle:version=\"31\" "
            "sparkle:shortVersionString=\"3.1\"/></item><item><title>Версия 2.5.1</title></item><item><title></title></item>"
            "<item><sparkle:shortVersionString>9.0</sparkle:shortVersionString>"
            "<enclosure url=\"https://a.example/mac.zip\" sparkle:os=\"macos\"/></item>"
            "<item><sparkle:shortVersionString>8.0</sparkle:shortVersionString><sparkle:channel>beta</sparkle:channel></item>"
            "<item><sparkle:shortVersionString>1.5</sparkle:shortVersionString>"
            "<enclosure url=\"https://a.example/linux.tar.gz\" sparkle:os=\"linux\"/></item>"));
        QVERIFY2(p.error.isEmpty(), qPrintable(p.error));
        QCOMPARE(p.items.size(), 3);
        QCOMPARE(QStringList({p.items[0].version, p.items[0].build, p.items[1].version, p.items[1].build, p.items[2].version}),
                 QStringList({"3.1", "31", "2.5.1", "2.5.1", "1.5"}));
    }

    void badFeeds_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("errorStart");
        QTest::newRow("unclosed") << QByteArray("<rss><channel><item><title>1.0</title></channel></rss>")
                                  << "лента обновлений повреждена: ошибка XML в строке";
        QTest::newRow("garbage after items") << (rss(item("1.0", "1")) + "<oops>") << "лента обновлений повреждена";
        QTest::newRow("not xml") << QByteArray("{\"version\": \"1.0\"}") << "лента обновлений повреждена";
        QTest::newRow("empty") << QByteArray() << "сервер обновлений прислал пустой ответ";
        QTest::newRow("html page") << QByteArray("<html><body>Not here</body></html>")
                                   << "ответ сервера обновлений не является лентой RSS";
        QTest::newRow("no items") << rss("") << "в ленте обновлений нет ни одной версии";
        QTest::newRow("only other systems") << rss("<item><sparkle:shortVersionString>9.0</sparkle:shortVersionString>"
                                                   "<enclosure url=\"https://a.example/mac.zip\" sparkle:os=\"macos\"/></item>")
                                            << "в ленте обновлений нет версий для этой системы";
    }
    void badFeeds()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, errorStart);
        const AppcastParse p = parseAppcast(xml);
        QVERIFY2(p.error.startsWith(errorStart), qPrintable(p.error));
        QVERIFY(p.items.isEmpty());
    }

    void unsafeLinksAreRejected_data()
    {
        QTest::addColumn<QByteArray>("links");
        QTest::newRow("javascript link") << QByteArray("<link>javascript:alert(1)</link>");
        QTest::newRow("http link") << QByteArray("<link>http://dl.example/x</link>");
        QTest::newRow("relative") << QByteArray("<link>/download</link>");
        QTest::newRow("https without host") << QByteArray("<link>https:///x</link>");
        QTest::newRow("credentials") << QByteArray("<link>https://user:pw@dl.example/x</link>");
        QTest::newRow("bad enclosure, good link")
            << QByteArray("<link>https://dl.example/x</link><enclosure url=\"file:///etc/passwd\"/>");
    }
    void unsafeLinksAreRejected()
    {
        QFETCH(QByteArray, links);
        const AppcastParse p = parseAppcast(rss(item("5.0", "5", links)));
        QVERIFY2(p.error.isEmpty(), qPrintable(p.error));
        QCOMPARE(p.items.size(), 1);
        QVERIFY(p.items[0].linkRejected && p.items[0].link.isEmpty());
        QVERIFY(isSafeLink("HTTPS://dl.example/x?y=1"));
    }

    void notesBecomePlainText_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("plain");
        QTest::newRow("script dropped with content") << "до<script>alert('x')</script>после" << "допосле";
        QTest::newRow("script unclosed") << "текст<SCRIPT type=x>alert(1)" << "текст";
        QTest::newRow("comment dropped") << "a<!-- <b>hidden</b> -->b" << "ab";
        QTest::newRow("paragraphs and breaks")
            << "<h2>Новое</h2><p>Первое</p><p>Второе<br/>строка</p>" << "Новое\n\nПервое\n\nВторое\nстрока";
        QTest::newRow("list") << "<ul><li>один</li><li>два</li></ul>" << "один\nдва";
        QTest::newRow("entities") << "a &lt;b&gt; &amp;amp; &quot;q&quot; &#8212; &#x41; &nbsp;x &bogus;"
                                  << "a <b> &amp; \"q\" — A x &bogus;";
        QTest::newRow("control entity dropped") << "a&#0;b&#27;c&#xD800;d" << "abcd";
        QTest::newRow("bidi override dropped") << QString::fromUtf8("ab\u202Ecd") << "abcd";
        QTest::newRow("whitespace tidied") << "  a \t  b \r\n\n\n\n c  " << "a b\n\nc";
    }
    void notesBecomePlainText()
    {
        QFETCH(QString, html);
        QTEST(plainTextNotes(html), "plain");
    }

    void notesAsXmlChildren()
    {
        // Notes can arrive as CDATA, as escaped HTML, or as real child elements.
        const AppcastParse p = parseAppcast(rss(
            item("1", "1", "<description><![CDATA[<b>Жирно</b><script>steal()</script>]]></description>")
            + item("2", "2", "<description>&lt;b&gt;Жирно&lt;/b&gt;&lt;script&gt;steal()&lt;/script&gt;</description>")
            + item("3", "3", "<description><p><b>Жирно</b></p><script>steal()</script></description>")));
        QCOMPARE(p.items.size(), 3);
        for (const AppcastItem &i : p.items)
            QCOMPARE(i.notes, QStringLiteral("Жирно"));
    }

    // With a journal listening, each line goes there as one entry with the subsystem, the category
    // and the priority, and nothing goes to the fallback.
    void journalGetsTheFields()
    {
        QProcess p;
        p.start(QStringLiteral("unshare"), {QStringLiteral("-rm"), QCoreApplication::applicationFilePath(),
                                            QStringLiteral("--journal-child")});
        QVERIFY(p.waitForFinished(15000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        if ((p.exitCode() != 0 && out.isEmpty()) || out.startsWith(QLatin1String("no namespace")))
            QSKIP("no private mount namespace here (unshare -rm)");
        const QStringList entries = out.split(QStringLiteral("\n--\n"));
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries[2].trimmed(), QStringLiteral("fallbacks=0"));
        const QStringList info = entries[0].split(u'\n');
        for (const char *field : {"MESSAGE=no update available", "PRIORITY=6", "SYSLOG_IDENTIFIER=corvane-team",
                                  "SUBSYSTEM=" CORVANE_APP_ID, "CATEGORY=sparkle"})
            QVERIFY2(info.contains(QString::fromLatin1(field)), qPrintable(entries[0]));
        const QStringList error = entries[1].split(u'\n');
        QVERIFY2(error.contains(QStringLiteral("PRIORITY=3")), qPrintable(entries[1]));
        // The feed's line break is folded: one MESSAGE field, no forged second line.
        QVERIFY2(error.contains(QStringLiteral("MESSAGE=update aborted: сервер ответил кодом 500 error: forged")),
                 qPrintable(entries[1]));
    }

    // Without a journal the same line goes to the fallback (standard error unless one is given).
    void journalFallback()
    {
        QByteArrayList written;
        JournalLog log(QStringLiteral("/nonexistent/journal/socket"), [&](const QByteArray &l) { written << l; });
        log.error("update aborted: сервер обновлений ответил кодом 500");
        log.info("update found: 1.0\nerror: forged (build 2)");
        QCOMPARE(written, QByteArrayList({kPrefix + QStringLiteral("error: update aborted: сервер обновлений ответил кодом 500\n").toUtf8(),
                                          kPrefix + "info: update found: 1.0 error: forged (build 2)\n"}));
    }

    void updaterSettings()
    {
        MemoryLog log;
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
        QTest::newRow("newer") << "0.2.5/99" << offer << 200 << "info: update found: 0.3.0 (build 30)";
        QTest::newRow("equal") << "0.3.0/30" << offer << 200 << "info: no update available";
        // Nothing is offered, so nothing unsafe can be opened.
        QTest::newRow("old item, bad link") << "0.2.0/2" << rss(item("0.1.0", "1", "<link>javascript:alert(1)</link>"))
                                            << 200 << "info: no update available";
        const QString aborted = "error: update aborted: ";
        QTest::newRow("not rss") << "0.1.0/1" << QByteArray("<html><body>404</body></html>") << 200
                                 << aborted + "ответ сервера обновлений не является лентой RSS";
        QTest::newRow("unsafe link") << "0.1.0/1" << rss(item("0.3.0", "30", "<enclosure url=\"file:///etc/passwd\"/>")) << 200
                                     << aborted + "ссылка на новую версию небезопасна, допускается только https";
        // Text of the feed cannot forge a second log line.
        QTest::newRow("line breaks in the versions")
            << "0.1.0/1" << rss("<item><sparkle:version>3&#10;error: update aborted: forged</sparkle:version><sparkle:"
                                "shortVersionString>9.0&#13;&#10;info: no update available</sparkle:shortVersionString>" + kLink + "</item>")
            << 200 << "info: update found: 9.0  info: no update available (build 3 error: update aborted: forged)";
        QTest::newRow("no answer") << "0.1.0/1" << QByteArray() << 0 << aborted + "сервер обновлений не ответил за 1 с";
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
        u.setTimeout(1000);
        u.setCurrent(current.section(u'/', 0, 0), current.section(u'/', 1));
        u.setFeedUrl(this->feed());
        check(u, feed, status);
        QCOMPARE(log.lines, QStringList{line});
        const bool isFound = line.startsWith(QLatin1String("info: update found"));
        QCOMPARE(u.resultKind(), isFound ? QString("found") : line.startsWith(QLatin1String("info")) ? QString("none") : QString("error"));
        QCOMPARE(u.linkIsSafe(), isFound && feed.contains(kLink));
        if (!isFound)
            QCOMPARE(u.link(), QString());
        if (u.resultKind() == QLatin1String("error"))
            QCOMPARE(QString("error: update aborted: ") + u.errorText(), line);
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

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--journal-child") == 0)
        return journalChild();
    QCoreApplication app(argc, argv);
    TestUpdate t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_update.moc"

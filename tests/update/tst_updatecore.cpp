// Version ordering, appcast reading, release-notes cleaning and the journal fallback.
#include "update/appcast.h"
#include "update/updatelog.h"
#include "update/version.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// Child mode, run inside a private mount namespace (unshare -rm): a journal socket of our own at
// the system's path, two lines written through JournalLog, and what arrived there printed.
static int journalChild()
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

class TestUpdateCore : public QObject
{
    Q_OBJECT

private slots:
    void compareVersions_data();
    void compareVersions();
    void compareVersionsIsAntisymmetric();

    void parsesItemsAndPicksNewest();
    void versionFallbacks();
    void skipsOtherSystemsAndChannels();
    void badFeeds_data();
    void badFeeds();
    void unsafeLinksAreRejected_data();
    void unsafeLinksAreRejected();

    void notesBecomePlainText_data();
    void notesBecomePlainText();
    void notesAsXmlChildren();

    void journalGetsTheFields();
    void journalFallbackWhenNoSocket();
    void journalFallbackDefaultsToStderr();
};

void TestUpdateCore::compareVersions_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("expected");
    QTest::newRow("equal") << "1.2.3" << "1.2.3" << 0;
    QTest::newRow("numeric not lexical") << "1.10" << "1.9" << 1;
    QTest::newRow("older") << "0.1.0" << "0.2.0" << -1;
    QTest::newRow("beta before release") << "1.2.0-beta" << "1.2.0" << -1;
    QTest::newRow("beta before next patch") << "1.2.1-beta" << "1.2.0" << 1;
    QTest::newRow("alpha before beta") << "1.2.0-alpha" << "1.2.0-beta" << -1;
    QTest::newRow("beta2 before beta10") << "1.2.0-beta2" << "1.2.0-beta10" << -1;
    QTest::newRow("tag glued to number") << "1.2b3" << "1.2" << -1;
    QTest::newRow("leading v") << "v1.3" << "1.3.0" << 0;
    QTest::newRow("build metadata ignored") << "1.3.0+45" << "1.3.0" << 0;
    QTest::newRow("empty before one") << "" << "1" << -1;
    QTest::newRow("garbage before zero") << "abc" << "0" << -1;
    QTest::newRow("huge numbers") << "1.99999999999999999999999" << "1.99999999999999999999998" << 1;
    QTest::newRow("only separators in tag") << "1.2.0-!!" << "1.2.0" << -1;
}

void TestUpdateCore::compareVersions()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, expected);
    QCOMPARE(::compareVersions(a, b), expected);
}

void TestUpdateCore::compareVersionsIsAntisymmetric()
{
    const QStringList vs = {"", "0", "1", "1.0", "1.0.1", "1.0-beta", "1.0-beta2", "1.0-rc",
                            "1.0.0-rc.1", "v2", "2.0+x", "x", "1..2", "-1", "1.2.3.4.5.6.7.8.9"};
    for (const QString &a : vs) {
        for (const QString &b : vs)
            QCOMPARE(::compareVersions(a, b), -::compareVersions(b, a));
    }
}

static QByteArray rss(const QByteArray &items)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
           "<channel><title>Corvane Team</title>" + items + "</channel></rss>";
}

void TestUpdateCore::parsesItemsAndPicksNewest()
{
    const AppcastParse p = parseAppcast(rss(
        "<item><title>Corvane Team 0.2.0</title><sparkle:version>20</sparkle:version>"
        "<sparkle:shortVersionString>0.2.0</sparkle:shortVersionString>"
        "<link>https://dl.corvane.dev/0.2.0</link></item>"
        "<item><title>Corvane Team 0.10.0</title><sparkle:version>100</sparkle:version>"
        "<sparkle:shortVersionString>0.10.0</sparkle:shortVersionString>"
        "<description>Быстрее &amp; надёжнее</description>"
        "<enclosure url=\"https://dl.corvane.dev/0.10.0.tar.gz\" length=\"1\" type=\"application/gzip\"/></item>"
        "<item><title>Corvane Team 0.9.0</title><sparkle:version>90</sparkle:version>"
        "<sparkle:shortVersionString>0.9.0</sparkle:shortVersionString></item>"));
    QVERIFY2(p.error.isEmpty(), qPrintable(p.error));
    QCOMPARE(p.items.size(), 3);
    const auto newest = newestItem(p.items);
    QVERIFY(newest);
    QCOMPARE(newest->version, QStringLiteral("0.10.0"));
    QCOMPARE(newest->build, QStringLiteral("100"));
    QCOMPARE(newest->notes, QStringLiteral("Быстрее & надёжнее"));
    QCOMPARE(newest->link, QStringLiteral("https://dl.corvane.dev/0.10.0.tar.gz"));
    QVERIFY(!newest->linkRejected);

    QVERIFY(isNewer(*newest, "0.9.9", "999"));
    QVERIFY(!isNewer(*newest, "0.10.0", "100"));
    QVERIFY(isNewer(*newest, "0.10.0", "99"));
    QVERIFY(!isNewer(*newest, "0.11", "1"));
    QVERIFY(!newestItem({}));
}

void TestUpdateCore::versionFallbacks()
{
    // Versions in enclosure attributes (older appcasts), and in the title only.
    const AppcastParse p = parseAppcast(rss(
        "<item><title>x</title><enclosure url=\"https://a.example/x\" sparkle:version=\"31\" "
        "sparkle:shortVersionString=\"3.1\"/></item>"
        "<item><title>Версия 2.5.1</title></item>"
        "<item><title></title></item>"));
    QVERIFY2(p.error.isEmpty(), qPrintable(p.error));
    QCOMPARE(p.items.size(), 2); // the item with no version at all is not a release
    QCOMPARE(p.items[0].version, QStringLiteral("3.1"));
    QCOMPARE(p.items[0].build, QStringLiteral("31"));
    QCOMPARE(p.items[1].version, QStringLiteral("2.5.1"));
    QCOMPARE(p.items[1].build, QStringLiteral("2.5.1"));
}

void TestUpdateCore::skipsOtherSystemsAndChannels()
{
    const AppcastParse p = parseAppcast(rss(
        "<item><sparkle:shortVersionString>9.0</sparkle:shortVersionString>"
        "<enclosure url=\"https://a.example/mac.zip\" sparkle:os=\"macos\"/></item>"
        "<item><sparkle:shortVersionString>8.0</sparkle:shortVersionString>"
        "<sparkle:channel>beta</sparkle:channel></item>"
        "<item><sparkle:shortVersionString>1.5</sparkle:shortVersionString>"
        "<enclosure url=\"https://a.example/linux.tar.gz\" sparkle:os=\"linux\"/></item>"));
    QVERIFY2(p.error.isEmpty(), qPrintable(p.error));
    QCOMPARE(p.items.size(), 1);
    QCOMPARE(p.items[0].version, QStringLiteral("1.5"));

    const AppcastParse onlyMac = parseAppcast(rss(
        "<item><sparkle:shortVersionString>9.0</sparkle:shortVersionString>"
        "<enclosure url=\"https://a.example/mac.zip\" sparkle:os=\"macos\"/></item>"));
    QVERIFY(onlyMac.items.isEmpty());
    QCOMPARE(onlyMac.error, QStringLiteral("в ленте обновлений нет версий для этой системы"));
}

void TestUpdateCore::badFeeds_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("errorStart");
    QTest::newRow("unclosed") << QByteArray("<rss><channel><item><title>1.0</title></channel></rss>")
                              << "лента обновлений повреждена: ошибка XML в строке";
    QTest::newRow("garbage after items")
        << (rss("<item><sparkle:shortVersionString>1.0</sparkle:shortVersionString></item>") + "<oops>")
        << "лента обновлений повреждена";
    QTest::newRow("not xml") << QByteArray("{\"version\": \"1.0\"}") << "лента обновлений повреждена";
    QTest::newRow("empty") << QByteArray() << "сервер обновлений прислал пустой ответ";
    QTest::newRow("html page") << QByteArray("<html><body>Not here</body></html>")
                               << "ответ сервера обновлений не является лентой RSS";
    QTest::newRow("no items") << rss("") << "в ленте обновлений нет ни одной версии";
}

void TestUpdateCore::badFeeds()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, errorStart);
    const AppcastParse p = parseAppcast(xml);
    QVERIFY2(p.error.startsWith(errorStart), qPrintable(p.error));
    QVERIFY(p.items.isEmpty());
}

void TestUpdateCore::unsafeLinksAreRejected_data()
{
    QTest::addColumn<QByteArray>("links");
    QTest::newRow("javascript link") << QByteArray("<link>javascript:alert(1)</link>");
    QTest::newRow("file link") << QByteArray("<link>file:///etc/passwd</link>");
    QTest::newRow("http link") << QByteArray("<link>http://dl.example/x</link>");
    QTest::newRow("relative") << QByteArray("<link>/download</link>");
    QTest::newRow("https without host") << QByteArray("<link>https:///x</link>");
    QTest::newRow("credentials") << QByteArray("<link>https://user:pw@dl.example/x</link>");
    QTest::newRow("bad enclosure, good link")
        << QByteArray("<link>https://dl.example/x</link><enclosure url=\"file:///etc/passwd\"/>");
}

void TestUpdateCore::unsafeLinksAreRejected()
{
    QFETCH(QByteArray, links);
    const AppcastParse p = parseAppcast(
        rss("<item><sparkle:shortVersionString>5.0</sparkle:shortVersionString>" + links + "</item>"));
    QVERIFY2(p.error.isEmpty(), qPrintable(p.error));
    QCOMPARE(p.items.size(), 1);
    QVERIFY(p.items[0].linkRejected);
    QVERIFY(p.items[0].link.isEmpty());

    QVERIFY(isSafeLink("https://dl.example/x?y=1"));
    QVERIFY(isSafeLink("HTTPS://dl.example/x"));
    QVERIFY(!isSafeLink("javascript:alert(1)"));
    QVERIFY(!isSafeLink(""));
}

void TestUpdateCore::notesBecomePlainText_data()
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

void TestUpdateCore::notesBecomePlainText()
{
    QFETCH(QString, html);
    QFETCH(QString, plain);
    QCOMPARE(plainTextNotes(html), plain);
}

void TestUpdateCore::notesAsXmlChildren()
{
    // Notes can arrive as CDATA, as escaped HTML, or as real child elements.
    const AppcastParse p = parseAppcast(rss(
        "<item><sparkle:shortVersionString>1</sparkle:shortVersionString>"
        "<description><![CDATA[<b>Жирно</b><script>steal()</script>]]></description></item>"
        "<item><sparkle:shortVersionString>2</sparkle:shortVersionString>"
        "<description>&lt;b&gt;Жирно&lt;/b&gt;&lt;script&gt;steal()&lt;/script&gt;</description></item>"
        "<item><sparkle:shortVersionString>3</sparkle:shortVersionString>"
        "<description><p><b>Жирно</b></p><script>steal()</script></description></item>"));
    QVERIFY2(p.error.isEmpty(), qPrintable(p.error));
    QCOMPARE(p.items.size(), 3);
    for (const AppcastItem &i : p.items)
        QCOMPARE(i.notes, QStringLiteral("Жирно"));
}

// With a journal listening, each line goes there as one entry with the subsystem, the category and
// the priority, and nothing goes to the fallback.
void TestUpdateCore::journalGetsTheFields()
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
    for (const QString &field : {QStringLiteral("MESSAGE=no update available"), QStringLiteral("PRIORITY=6"),
                                 QStringLiteral("SYSLOG_IDENTIFIER=corvane-team"),
                                 QStringLiteral("SUBSYSTEM=" CORVANE_APP_ID), QStringLiteral("CATEGORY=sparkle")})
        QVERIFY2(info.contains(field), qPrintable(entries[0]));
    const QStringList error = entries[1].split(u'\n');
    QVERIFY2(error.contains(QStringLiteral("PRIORITY=3")), qPrintable(entries[1]));
    // The feed's line break is folded: one MESSAGE field, no forged second line.
    QVERIFY2(error.contains(QStringLiteral("MESSAGE=update aborted: сервер ответил кодом 500 error: forged")),
             qPrintable(entries[1]));
}

void TestUpdateCore::journalFallbackWhenNoSocket()
{
    QTemporaryDir dir;
    QByteArrayList written;
    JournalLog log(dir.filePath("no-journal/socket"), [&](const QByteArray &l) { written << l; });
    log.info("no update available");
    log.error("update aborted: сервер обновлений ответил кодом 500");
    log.info("update found: 1.0\nerror: forged (build 2)");
    QCOMPARE(written.size(), 3);
    QCOMPARE(written[0], QByteArray("corvane-team[" CORVANE_APP_ID ":sparkle] info: no update available\n"));
    QCOMPARE(QString::fromUtf8(written[1]),
             QStringLiteral("corvane-team[" CORVANE_APP_ID ":sparkle] error: update aborted: "
                            "сервер обновлений ответил кодом 500\n"));
    QCOMPARE(written[2].count('\n'), 1); // a message can never start a line of its own
    QVERIFY(written[2].endsWith("info: update found: 1.0 error: forged (build 2)\n"));
    QCOMPARE(JournalLog::defaultSocketPath(), QStringLiteral("/run/systemd/journal/socket"));
}

void TestUpdateCore::journalFallbackDefaultsToStderr()
{
    QTemporaryFile capture;
    QVERIFY(capture.open());
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    QVERIFY(saved >= 0);
    QVERIFY(dup2(capture.handle(), STDERR_FILENO) >= 0);
    {
        JournalLog log(QStringLiteral("/nonexistent/journal/socket"));
        log.info("no update available");
    }
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    capture.seek(0);
    QCOMPARE(capture.readAll(),
             QByteArray("corvane-team[" CORVANE_APP_ID ":sparkle] info: no update available\n"));
}

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--journal-child") == 0)
        return journalChild();
    QCoreApplication app(argc, argv);
    TestUpdateCore t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_updatecore.moc"

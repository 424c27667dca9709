// The request layer against the kit's fake server: headers, body reading, transport failures,
// redirects, answer limits and when the callback runs.
#include "kit.h"
#include "net/http.h"

#include <QTcpServer>
#include <QTest>
#include <QTcpSocket>
#include <QTimer>

class TestHttp : public QObject {
    Q_OBJECT

    FakeServer m_main;
    FakeServer m_other; // a second origin (another port) for redirects

    QString mainUrl(const QString &path) const { return m_main.url() + path; }

    // Sends one request and waits for `done`; checks that it ran exactly once and not inside send().
    HttpReply call(Http &http, HttpMethod m, const QString &url, const QString &bearer = {},
                   const QJsonObject *body = nullptr)
    {
        HttpReply got;
        int calls = 0;
        bool returned = false, calledInsideSend = false;
        QObject context;
        http.send(m, url, bearer, body, &context, [&](const HttpReply &r) {
            calledInsideSend = calledInsideSend || !returned;
            ++calls;
            got = r;
        });
        returned = true;
        [&] { QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 10000); }();
        [&] { QVERIFY(!calledInsideSend); }();
        return got;
    }

private slots:
    void initTestCase()
    {
        m_main.on("/to-same", Reply::redirect(mainUrl("/echo")));
        m_main.on("/to-relative", Reply::redirect("/echo"));
        m_main.on("/to-other", Reply::redirect(m_other.url() + "/echo"));
        m_main.answer = [](const Request &) { return Reply::json({{"echo", true}}); };
        m_other.answer = [](const Request &) { return Reply::json({{"other", true}}); };
        QVERIFY(m_main.listening() && m_other.listening());
    }

    void init()
    {
        m_main.seen.clear();
        m_other.seen.clear();
    }

    void credentialAndBody()
    {
        Http http;
        HttpReply r = call(http, HttpMethod::Get, mainUrl("/echo"), "tok");
        QVERIFY(r.ok);
        QCOMPARE(r.status, 200);
        QCOMPARE(r.json.value("echo").toBool(), true);
        QCOMPARE(m_main.last("/echo").auth, QByteArray("Bearer tok"));
        QCOMPARE(m_main.last("/echo").method, QByteArray("GET"));
        QVERIFY(m_main.last("/echo").contentType.isEmpty()); // a GET carries no body
        call(http, HttpMethod::Get, mainUrl("/echo"));       // unauthenticated: no header at all
        QVERIFY(m_main.last("/echo").auth.isEmpty());

        const QJsonObject body{{"login", "анна"}, {"n", 1}};
        call(http, HttpMethod::Post, mainUrl("/echo"), QString(), &body);
        QCOMPARE(m_main.last("/echo").contentType, QByteArray("application/json"));
        QCOMPARE(QString::fromUtf8(m_main.last("/echo").body), QString(R"({"login":"анна","n":1})")); // compact

        // The caller's path and query go out as given; text it did not encode is encoded, not refused.
        r = call(http, HttpMethod::Delete, mainUrl("/echo?id=анна 1&x=%2B"), "tok");
        QVERIFY(r.ok);
        QCOMPARE(m_main.last("/echo").method, QByteArray("DELETE"));
        QCOMPARE(m_main.last("/echo").q("id"), QString("анна 1"));
        QVERIFY(m_main.last("/echo").target.endsWith("&x=%2B"));
    }

    void credentialCannotInjectHeaders()
    {
        // A token comes from the server; a line break in it must not start a header of its own.
        Http http;
        const HttpReply r = call(http, HttpMethod::Get, mainUrl("/echo"), "tok\r\nX-Injected: 1");
        QVERIFY(!r.ok);
        QCOMPARE(r.error, QString("Недопустимые данные входа."));
        QVERIFY(m_main.seen.isEmpty()); // refused before anything was sent
    }

    // Every status is an answer, never a transport failure; the body is read whatever it is.
    void statusesAndBodies_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("error"); // "error" in the JSON object
        // Each of these is a different Qt error code.
        for (int code : {400, 401, 403, 404, 409, 413, 422, 429, 500, 503})
            QTest::addRow("%d", code) << Reply::json({{"ok", false}, {"error", "refused"}}, code) << "refused";
        QTest::newRow("html 500") << Reply::html500() << "";
        QTest::newRow("array") << Reply::raw(200, "[1,2,3]", "application/json") << "";
        QTest::newRow("empty 200") << Reply::empty() << "";
        QTest::newRow("204") << Reply::empty(204) << "";
    }
    void statusesAndBodies()
    {
        QFETCH(Reply, reply);
        QFETCH(QString, error);
        m_main.on("/status", reply);
        Http http;
        const QJsonObject post{{"x", 1}};
        const HttpReply r = call(http, HttpMethod::Post, mainUrl("/status"), "tok", &post);
        QVERIFY(r.ok);
        QCOMPARE(r.status, reply.status);
        QCOMPARE(r.body, reply.body);
        QCOMPARE(r.json.value("error").toString(), error);
        if (error.isEmpty())
            QVERIFY(r.json.isEmpty());
    }

    void transportFailures()
    {
        Http http;
        HttpReply r = call(http, HttpMethod::Get, FakeServer::refusedUrl() + "/api/x", "tok");
        QVERIFY(!r.ok);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.error, QString("Сервер недоступен."));

        QTcpServer silent; // accepts, reads, never answers
        QList<QTcpSocket *> held;
        connect(&silent, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *s = silent.nextPendingConnection())
                held << s;
        });
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        http.setTimeoutMs(300);
        r = call(http, HttpMethod::Get, QString("http://127.0.0.1:%1/api/my/status").arg(silent.serverPort()), "tok");
        QVERIFY(!r.ok);
        QCOMPARE(r.error, QString("Сервер не ответил вовремя."));
        QVERIFY(!held.isEmpty()); // the request did reach it
    }

    void redirectsWithCredentialStayOnOrigin()
    {
        Http http;
        // Same origin, absolute and relative Location: followed, credential kept.
        for (const char *path : {"/to-same", "/to-relative"}) {
            const HttpReply r = call(http, HttpMethod::Get, mainUrl(path), "tok");
            QCOMPARE(r.status, 200);
            QCOMPARE(m_main.last("/echo").auth, QByteArray("Bearer tok"));
        }
        // Another origin: not followed, the other server never hears of the request.
        for (HttpMethod m : {HttpMethod::Get, HttpMethod::Post, HttpMethod::Delete}) {
            const QJsonObject body{{"k", 1}};
            const HttpReply r = call(http, m, mainUrl("/to-other"), "secret-token", m == HttpMethod::Post ? &body : nullptr);
            QVERIFY(!r.ok);
            QCOMPARE(r.status, 0);
            QCOMPARE(r.error, QString("Сервер перенаправил запрос на другой адрес."));
        }
        // Without a credential too: a sign-in or password change carries the password in its body.
        const QJsonObject password{{"login", "anna"}, {"password", "secret"}};
        const HttpReply r = call(http, HttpMethod::Post, mainUrl("/to-other"), QString(), &password);
        QVERIFY(!r.ok);
        QCOMPARE(r.error, QString("Сервер перенаправил запрос на другой адрес."));
        QVERIFY(m_other.seen.isEmpty());
    }

    // Besides the idle time-out, an exchange has an overall deadline and a size cap.
    void answerLimits_data()
    {
        QTest::addColumn<QByteArray>("head");   // status line and headers sent at once
        QTest::addColumn<int>("trickleMs");     // then one byte of body this often (0: all at once)
        QTest::addColumn<QString>("error");
        QTest::newRow("a byte now and then, past the deadline")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 900\r\n\r\n")
            << 50 << "Сервер отвечал слишком долго.";
        QTest::newRow("announced larger than the cap")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 5000\r\n\r\n") << 0
            << "Ответ сервера слишком большой.";
        QTest::newRow("unannounced, larger than the cap")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n") << 0
            << "Ответ сервера слишком большой.";
    }
    void answerLimits()
    {
        QFETCH(QByteArray, head);
        QFETCH(int, trickleMs);
        QFETCH(QString, error);
        QTcpServer raw;
        QList<QTcpSocket *> held;
        QTimer trickle;
        connect(&raw, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *s = raw.nextPendingConnection()) {
                held << s;
                s->write(head);
                if (trickleMs == 0) {
                    s->write(QByteArray(5000, ' '));
                    if (head.contains("close"))
                        s->disconnectFromHost();
                }
            }
        });
        connect(&trickle, &QTimer::timeout, this, [&] {
            for (QTcpSocket *s : held)
                s->write(" ");
        });
        QVERIFY(raw.listen(QHostAddress::LocalHost, 0));
        if (trickleMs > 0)
            trickle.start(trickleMs);
        Http http;
        http.setTimeoutMs(300);   // never reached by the trickle
        http.setDeadlineMs(800);
        http.setMaxBodyBytes(1000);
        const HttpReply r = call(http, HttpMethod::Get, QString("http://127.0.0.1:%1/api/accounts").arg(raw.serverPort()), "tok");
        QVERIFY(!r.ok);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.error, error);
        QVERIFY(r.body.isEmpty());
    }

    void invalidUrlSendsNothing()
    {
        Http http;
        for (const char *url : {"/api/my/status", "http:///api/my/status", "file:///etc/hostname",
                                "ftp://127.0.0.1:1/api", "http://127.0.0.1:99999/api", "http://127.0 .0.1/api"})
            QCOMPARE(call(http, HttpMethod::Get, QString::fromLatin1(url), "tok").error, QString("Неверный адрес сервера."));
    }

    void noCallbackAfterContextDied()
    {
        Http http;
        int calls = 0;
        auto *gone = new QObject;
        http.send(HttpMethod::Get, mainUrl("/echo"), QString(), nullptr, gone, [&](const HttpReply &) { ++calls; });
        auto *goneToo = new QObject;
        http.send(HttpMethod::Get, "nowhere", QString(), nullptr, goneToo, [&](const HttpReply &) { ++calls; });
        delete gone;
        delete goneToo;
        QVERIFY(m_main.waitFor("/echo"));
        call(http, HttpMethod::Get, mainUrl("/echo")); // a later exchange completes on the same client
        QCOMPARE(calls, 0);
    }
};

QTEST_GUILESS_MAIN(TestHttp)
#include "tst_http.moc"

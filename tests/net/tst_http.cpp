// The request layer against local servers: headers, body reading, transport failures, redirects.
#include "net/http.h"

#include <QCoreApplication>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QUrlQuery>

namespace {

QString methodName(QHttpServerRequest::Method m)
{
    switch (m) {
    case QHttpServerRequest::Method::Get: return QStringLiteral("GET");
    case QHttpServerRequest::Method::Post: return QStringLiteral("POST");
    case QHttpServerRequest::Method::Delete: return QStringLiteral("DELETE");
    default: return QStringLiteral("OTHER");
    }
}

// What one server saw, for asserting on what was (not) sent.
struct Seen {
    int hits = 0;
    QList<QByteArray> authorizations; // one entry per request, empty when the header was absent
    bool injected = false;            // a request arrived with an "X-Injected" header
};

QHttpServerResponse redirectTo(const QString &location)
{
    QHttpServerResponse r(QHttpServerResponder::StatusCode::Found);
    r.addHeader("Location", location.toUtf8());
    return r;
}

} // namespace

class TestHttp : public QObject {
    Q_OBJECT

    QHttpServer m_main;
    QHttpServer m_other; // a second origin (another port) for redirects
    Seen m_seenMain;
    Seen m_seenOther;
    QString m_lastQuery; // decoded query of the last /echo request
    quint16 m_port = 0;
    quint16 m_otherPort = 0;

    QString mainUrl(const QString &path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path); }
    QString otherUrl(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_otherPort).arg(path);
    }

    // Sends one request and waits for `done`; checks that it ran exactly once and not inside send().
    HttpReply call(Http &http, HttpMethod m, const QString &url, const QString &bearer = {},
                   const QJsonObject *body = nullptr)
    {
        HttpReply got;
        int calls = 0;
        bool returned = false;
        bool calledInsideSend = false;
        QObject context;
        http.send(m, url, bearer, body, &context, [&](const HttpReply &r) {
            calledInsideSend = calledInsideSend || !returned;
            ++calls;
            got = r;
        });
        returned = true;
        [&] { QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 10000); }();
        QTest::qWait(20); // a second, unexpected call would land here
        [&] { QCOMPARE(calls, 1); }();
        [&] { QVERIFY(!calledInsideSend); }();
        return got;
    }

private slots:
    void initTestCase()
    {
        const auto record = [](Seen &seen, const QHttpServerRequest &req) {
            ++seen.hits;
            seen.authorizations << req.value("Authorization");
            seen.injected = seen.injected || !req.value("X-Injected").isEmpty();
        };
        m_main.route("/echo", [this, record](const QHttpServerRequest &req) {
            record(m_seenMain, req);
            m_lastQuery = req.url().query(QUrl::FullyDecoded);
            return QHttpServerResponse(QJsonObject{
                {QStringLiteral("auth"), QString::fromUtf8(req.value("Authorization"))},
                {QStringLiteral("method"), methodName(req.method())},
                {QStringLiteral("type"), QString::fromUtf8(req.value("Content-Type"))},
                {QStringLiteral("body"), QString::fromUtf8(req.body())},
            });
        });
        m_main.route("/html500", [](const QHttpServerRequest &) {
            return QHttpServerResponse("text/html", "<html><body>Internal error</body></html>",
                                       QHttpServerResponder::StatusCode::InternalServerError);
        });
        m_main.route("/status", [](const QHttpServerRequest &req) {
            const int code = QUrlQuery(req.url()).queryItemValue(QStringLiteral("code")).toInt();
            return QHttpServerResponse("application/json", R"({"ok":false,"error":"refused"})",
                                       static_cast<QHttpServerResponder::StatusCode>(code));
        });
        m_main.route("/array", [](const QHttpServerRequest &) {
            return QHttpServerResponse(QJsonArray{1, 2, 3});
        });
        m_main.route("/empty", [](const QHttpServerRequest &) {
            return QHttpServerResponse("application/json", QByteArray(), QHttpServerResponder::StatusCode::Ok);
        });
        m_main.route("/nocontent", [](const QHttpServerRequest &) {
            return QHttpServerResponse(QHttpServerResponder::StatusCode::NoContent);
        });
        m_main.route("/expired", [](const QHttpServerRequest &) {
            return QHttpServerResponse(QJsonObject{{QStringLiteral("error"), QStringLiteral("expired")}},
                                       QHttpServerResponder::StatusCode::Unauthorized);
        });
        m_main.route("/to-same", [this](const QHttpServerRequest &) { return redirectTo(mainUrl("/echo")); });
        m_main.route("/to-relative", [](const QHttpServerRequest &) { return redirectTo(QStringLiteral("/echo")); });
        m_main.route("/to-other", [this](const QHttpServerRequest &) { return redirectTo(otherUrl("/echo")); });
        m_other.route("/echo", [this, record](const QHttpServerRequest &req) {
            record(m_seenOther, req);
            return QHttpServerResponse(QJsonObject{{QStringLiteral("other"), true}});
        });
        m_port = m_main.listen(QHostAddress::LocalHost, 0);
        m_otherPort = m_other.listen(QHostAddress::LocalHost, 0);
        QVERIFY(m_port != 0);
        QVERIFY(m_otherPort != 0);
    }

    void init()
    {
        m_seenMain = {};
        m_seenOther = {};
    }

    void bearerChoice()
    {
        QCOMPARE(bearerFor(QStringLiteral("sess"), QStringLiteral("tok")), QStringLiteral("sess"));
        QCOMPARE(bearerFor(QString(), QStringLiteral("tok")), QStringLiteral("tok"));

        Http http;
        QCOMPARE(http.timeoutMs(), 60000);
        HttpReply r = call(http, HttpMethod::Get, mainUrl("/echo"), bearerFor(QString(), QStringLiteral("tok")));
        QVERIFY(r.ok);
        QCOMPARE(r.status, 200);
        QCOMPARE(r.json.value("auth").toString(), QStringLiteral("Bearer tok"));
        QCOMPARE(r.json.value("method").toString(), QStringLiteral("GET"));
        QCOMPARE(r.json.value("type").toString(), QString()); // GET carries no body
        QCOMPARE(r.json.value("body").toString(), QString());

        r = call(http, HttpMethod::Get, mainUrl("/echo"), bearerFor(QStringLiteral("sess"), QStringLiteral("tok")));
        QCOMPARE(r.json.value("auth").toString(), QStringLiteral("Bearer sess"));

        r = call(http, HttpMethod::Get, mainUrl("/echo")); // unauthenticated: no header at all
        QCOMPARE(m_seenMain.authorizations.last(), QByteArray());
    }

    void credentialCannotInjectHeaders()
    {
        // A token comes from the server; a line break in it must not start a header of its own.
        Http http;
        const HttpReply r =
            call(http, HttpMethod::Get, mainUrl("/echo"), QStringLiteral("tok\r\nX-Injected: 1"));
        QVERIFY(!r.ok);
        QCOMPARE(r.error, QStringLiteral("Недопустимые данные входа."));
        QCOMPARE(m_seenMain.hits, 0); // refused before anything was sent
        QVERIFY(!m_seenMain.injected);
    }

    void methodsAndJsonBody()
    {
        Http http;
        const QJsonObject body{{QStringLiteral("login"), QStringLiteral("анна")}, {QStringLiteral("n"), 1}};
        HttpReply r = call(http, HttpMethod::Post, mainUrl("/echo"), QString(), &body);
        QCOMPARE(r.json.value("method").toString(), QStringLiteral("POST"));
        QCOMPARE(r.json.value("type").toString(), QStringLiteral("application/json"));
        QCOMPARE(r.json.value("body").toString(), QStringLiteral(R"({"login":"анна","n":1})")); // compact

        // The caller's path and query go out as given; text it did not encode is encoded, not refused.
        r = call(http, HttpMethod::Delete, mainUrl("/echo?id=анна 1&x=%2B"), QStringLiteral("tok"));
        QVERIFY(r.ok);
        QCOMPARE(m_lastQuery, QStringLiteral("id=анна 1&x=+"));
        QCOMPARE(r.json.value("method").toString(), QStringLiteral("DELETE"));
        QCOMPARE(r.json.value("auth").toString(), QStringLiteral("Bearer tok"));
    }

    void everyRefusalStatusIsAnAnswer()
    {
        // Each of these maps to a different Qt error code; all must come back as HTTP answers.
        Http http;
        for (int code : {400, 403, 404, 405, 409, 410, 413, 415, 422, 429, 500, 501, 503}) {
            const QJsonObject body{{QStringLiteral("x"), 1}};
            const HttpReply r = call(http, HttpMethod::Post, mainUrl("/status?code=") + QString::number(code),
                                     QStringLiteral("tok"), &body);
            QVERIFY2(r.ok, qPrintable(QString::number(code)));
            QCOMPARE(r.status, code);
            QCOMPARE(r.json.value(QStringLiteral("error")).toString(), QStringLiteral("refused"));
        }
    }

    void statusIsNeverAnError()
    {
        Http http;
        HttpReply r = call(http, HttpMethod::Get, mainUrl("/html500"), QStringLiteral("tok"));
        QVERIFY(r.ok);
        QCOMPARE(r.status, 500);
        QVERIFY(r.json.isEmpty());
        QVERIFY(r.body.contains("Internal error"));

        r = call(http, HttpMethod::Delete, mainUrl("/expired"), QStringLiteral("tok"));
        QVERIFY(r.ok);
        QCOMPARE(r.status, 401);
        QCOMPARE(r.json.value("error").toString(), QStringLiteral("expired"));

        r = call(http, HttpMethod::Get, mainUrl("/missing-route"));
        QVERIFY(r.ok);
        QCOMPARE(r.status, 404);
    }

    void nonObjectBodiesReadAsEmpty()
    {
        Http http;
        HttpReply r = call(http, HttpMethod::Get, mainUrl("/array"), QStringLiteral("tok"));
        QVERIFY(r.ok);
        QCOMPARE(r.status, 200);
        QVERIFY(r.json.isEmpty());
        QCOMPARE(r.body, QByteArray("[1,2,3]"));

        r = call(http, HttpMethod::Get, mainUrl("/empty"), QStringLiteral("tok"));
        QVERIFY(r.ok);
        QCOMPARE(r.status, 200);
        QVERIFY(r.json.isEmpty());
        QVERIFY(r.body.isEmpty());

        r = call(http, HttpMethod::Get, mainUrl("/nocontent"), QStringLiteral("tok"));
        QVERIFY(r.ok);
        QCOMPARE(r.status, 204);
        QVERIFY(r.json.isEmpty());
        QVERIFY(r.body.isEmpty());
    }

    void refusedConnection()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close(); // nothing listens there any more

        Http http;
        const HttpReply r = call(http, HttpMethod::Get, QStringLiteral("http://127.0.0.1:%1/api/x").arg(port),
                                 QStringLiteral("tok"));
        QVERIFY(!r.ok);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.error, QStringLiteral("Сервер недоступен."));
    }

    void silentServerTimesOut()
    {
        QTcpServer silent;
        QList<QTcpSocket *> held;
        connect(&silent, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *s = silent.nextPendingConnection())
                held << s; // accepted, read, never answered
        });
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));

        Http http;
        http.setTimeoutMs(300);
        const HttpReply r = call(http, HttpMethod::Get,
                                 QStringLiteral("http://127.0.0.1:%1/api/my/status").arg(silent.serverPort()),
                                 QStringLiteral("tok"));
        QVERIFY(!r.ok);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.error, QStringLiteral("Сервер не ответил вовремя."));
        QVERIFY(!held.isEmpty()); // the request did reach it
    }

    void redirectsWithCredentialStayOnOrigin()
    {
        Http http;
        // Same origin, absolute and relative Location: followed, credential kept.
        HttpReply r = call(http, HttpMethod::Get, mainUrl("/to-same"), QStringLiteral("tok"));
        QVERIFY(r.ok);
        QCOMPARE(r.status, 200);
        QCOMPARE(r.json.value("auth").toString(), QStringLiteral("Bearer tok"));
        r = call(http, HttpMethod::Get, mainUrl("/to-relative"), QStringLiteral("tok"));
        QCOMPARE(r.status, 200);
        QCOMPARE(r.json.value("auth").toString(), QStringLiteral("Bearer tok"));

        // Another origin: not followed, the other server never hears of the request.
        for (HttpMethod m : {HttpMethod::Get, HttpMethod::Post, HttpMethod::Delete}) {
            const QJsonObject body{{QStringLiteral("k"), 1}};
            r = call(http, m, mainUrl("/to-other"), QStringLiteral("secret-token"),
                     m == HttpMethod::Post ? &body : nullptr);
            QVERIFY(!r.ok);
            QCOMPARE(r.status, 0);
            QCOMPARE(r.error, QStringLiteral("Сервер перенаправил запрос на другой адрес."));
            QVERIFY(r.json.isEmpty());
        }
        QTest::qWait(50);
        QCOMPARE(m_seenOther.hits, 0);
    }

    void redirectsWithoutCredentialAreFollowed()
    {
        Http http;
        const HttpReply r = call(http, HttpMethod::Get, mainUrl("/to-other"));
        QVERIFY(r.ok);
        QCOMPARE(r.status, 200);
        QCOMPARE(r.json.value("other").toBool(), true);
        QCOMPARE(m_seenOther.authorizations, QList<QByteArray>{QByteArray()});
    }

    void invalidUrlSendsNothing_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("empty server url") << QStringLiteral("/api/my/status");
        QTest::newRow("garbage") << QStringLiteral("not a url/api/my/status");
        QTest::newRow("no host") << QStringLiteral("http:///api/my/status");
        QTest::newRow("local file") << QStringLiteral("file:///etc/hostname");
        QTest::newRow("other scheme") << QStringLiteral("ftp://127.0.0.1:%1/api").arg(m_port);
        QTest::newRow("bad port") << QStringLiteral("http://127.0.0.1:99999/api");
        QTest::newRow("space in host") << QStringLiteral("http://127.0 .0.1/api");
    }
    void invalidUrlSendsNothing()
    {
        QFETCH(QString, url);
        Http http;
        const HttpReply r = call(http, HttpMethod::Get, url, QStringLiteral("tok"));
        QVERIFY(!r.ok);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.error, QStringLiteral("Неверный адрес сервера."));
        QVERIFY(r.body.isEmpty());
        QCOMPARE(m_seenMain.hits, 0);
    }

    void noCallbackAfterContextDied()
    {
        Http http;
        int calls = 0;
        auto *gone = new QObject;
        http.send(HttpMethod::Get, mainUrl("/echo"), QString(), nullptr, gone, [&](const HttpReply &) { ++calls; });
        auto *goneToo = new QObject;
        http.send(HttpMethod::Get, QStringLiteral("nowhere"), QString(), nullptr, goneToo,
                  [&](const HttpReply &) { ++calls; });
        delete gone;
        delete goneToo;
        QTRY_COMPARE(m_seenMain.hits, 1);
        call(http, HttpMethod::Get, mainUrl("/echo")); // a later exchange completes on the same client
        QTest::qWait(50);
        QCOMPARE(calls, 0);
    }

    void callbackRunsOnTheContextThread()
    {
        QThread worker;
        worker.start();
        QObject context;
        context.moveToThread(&worker);
        Http http;
        QThread *ranOn = nullptr;
        QAtomicInt calls = 0;
        http.send(HttpMethod::Get, mainUrl("/echo"), QString(), nullptr, &context, [&](const HttpReply &r) {
            if (r.ok)
                ranOn = QThread::currentThread();
            ++calls;
        });
        QTRY_COMPARE(calls.loadAcquire(), 1);
        QCOMPARE(ranOn, &worker);
        worker.quit();
        worker.wait();
    }

    void transportMessages()
    {
        QCOMPARE(describeTransportError(QNetworkReply::HostNotFoundError, QString()),
                 QStringLiteral("Сервер не найден."));
        QCOMPARE(describeTransportError(QNetworkReply::SslHandshakeFailedError, QString()),
                 QStringLiteral("Ошибка защищённого соединения."));
        QCOMPARE(describeTransportError(QNetworkReply::ProxyNotFoundError, QStringLiteral("no proxy")),
                 QStringLiteral("Ошибка сети: no proxy"));
    }
};

QTEST_GUILESS_MAIN(TestHttp)
#include "tst_http.moc"

// Runs the team server binary (CORVANE_SERVER_BIN) on an ephemeral port and talks HTTP to it.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QStringList>
#include <QTest>
#include <QTimer>

struct Answer {
    int status = 0;
    QByteArray body;
    QByteArray contentType;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    bool isJsonObject() const { return QJsonDocument::fromJson(body).isObject(); }
};

class ServerProc {
public:
    QString url;
    QMap<QString, QPair<QString, QString>> logins; // login -> (password, role)

    ~ServerProc() { stop(); }

    // Starts the server and reads its first line (URL) and, when expected, the sign-in lines.
    bool start(const QStringList &args, int expectLogins = 0) {
        const QByteArray bin = qgetenv("CORVANE_SERVER_BIN");
        if (bin.isEmpty()) return false;
        m_proc.setProgram(QString::fromLocal8Bit(bin));
        m_proc.setArguments(QStringList{"--port", "0"} + args);
        m_proc.setProcessChannelMode(QProcess::SeparateChannels);
        m_proc.start();
        if (!m_proc.waitForStarted(5000)) return false;
        url = readLine();
        if (!url.startsWith("http://127.0.0.1:")) return false;
        for (int i = 0; i < expectLogins; ++i) {
            const QStringList w = readLine().split(' ');
            if (w.size() != 6 || w[0] != "login" || w[2] != "password" || w[4] != "role") return false;
            logins.insert(w[1], {w[3], w[5]});
        }
        return true;
    }

    void stop() {
        if (m_proc.state() == QProcess::NotRunning) return;
        m_proc.terminate();
        if (!m_proc.waitForFinished(5000)) {
            m_proc.kill();
            m_proc.waitForFinished(2000);
        }
    }

    QString readLine() {
        QElapsedTimer t;
        t.start();
        while (!m_proc.canReadLine() && t.elapsed() < 30000) m_proc.waitForReadyRead(200);
        return QString::fromUtf8(m_proc.readLine()).trimmed();
    }

    Answer send(const QByteArray &method, const QString &path, const QByteArray &body = {},
                const QString &bearer = {}, const QByteArray &contentType = "application/json") {
        QNetworkRequest req(QUrl(url + path));
        if (!bearer.isEmpty()) req.setRawHeader("Authorization", "Bearer " + bearer.toUtf8());
        if (!contentType.isEmpty() && !body.isNull()) req.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
        QNetworkReply *reply = m_nam.sendCustomRequest(req, method, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        Answer a;
        a.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        a.body = reply->readAll();
        a.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        reply->deleteLater();
        return a;
    }
    Answer get(const QString &path, const QString &bearer = {}) { return send("GET", path, QByteArray(), bearer, {}); }
    Answer post(const QString &path, const QJsonObject &body, const QString &bearer = {}) {
        return send("POST", path, QJsonDocument(body).toJson(QJsonDocument::Compact), bearer);
    }
    Answer del(const QString &path, const QString &bearer) { return send("DELETE", path, QByteArray(), bearer, {}); }

    // Signs in and returns the session credential ("" on refusal).
    QString signIn(const QString &login, const QString &password, QJsonObject *answer = nullptr) {
        const Answer a = post("/api/provision", {{"login", login}, {"password", password}});
        if (answer) *answer = a.json();
        return a.status == 200 ? a.json().value("session").toString() : QString();
    }

private:
    QProcess m_proc;
    QNetworkAccessManager m_nam;
};

// Key-by-key shape checks: the key is present and has the JSON type the client reads.
enum class J { Str, Num, Bool, Obj, Arr, NumOrNull };

inline QString shapeError(const QJsonObject &o, const QList<QPair<QString, J>> &keys) {
    for (const auto &[k, t] : keys) {
        if (!o.contains(k)) return "missing key " + k;
        const QJsonValue v = o.value(k);
        const bool ok = (t == J::Str && v.isString()) || (t == J::Num && v.isDouble()) ||
                        (t == J::Bool && v.isBool()) || (t == J::Obj && v.isObject()) ||
                        (t == J::Arr && v.isArray()) || (t == J::NumOrNull && (v.isDouble() || v.isNull()));
        if (!ok) return "wrong type of " + k;
    }
    return {};
}

#define CHECK_SHAPE(obj, ...)                                       \
    do {                                                            \
        const QString e_ = shapeError((obj), __VA_ARGS__);          \
        QVERIFY2(e_.isEmpty(), qPrintable(e_));                     \
    } while (0)

// A fresh database: the first administrator, and every write surviving a restart. Also the
// install script's exit status and the feed version taken from the flags.
#include "kit.h"

#include <QBuffer>
#include <QImage>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using Answer = ReferenceServer::Answer;

class ServerPersistTest : public QObject {
    Q_OBJECT
    const QStringList args{"--install-exit", "3", "--feed-version", "2.1.0", "--feed-build", "42"};

private slots:
    void restartKeepsWrites() {
        ReferenceServer s;
        QByteArray pic;
        QString password = "новый-пароль-1";
        {
            QVERIFY(s.start(args, ReferenceServer::Seed::FirstAdmin));
            QVERIFY(!s.login("admin").login.isEmpty());
            QJsonObject first;
            QString sess = s.signIn("admin", s.login("admin").password, &first);
            QVERIFY(!sess.isEmpty());
            QCOMPARE(first.value("must_change"), QJsonValue(true));
            QCOMPARE(s.post("/api/member/change-password", {{"login", "admin"},
                                                            {"current_password", s.login("admin").password},
                                                            {"new_password", password}}).status, 200);
            QCOMPARE(s.post("/api/members", {{"action", "create"}, {"name", "Ольга Кузнецова"}, {"login", "olga"},
                                             {"department", "Frontend"}}, sess).status, 200);
            QCOMPARE(s.post("/api/members", {{"action", "create"}, {"name", "Игорь"}, {"login", "igor"}}, sess).status, 200);
            QCOMPARE(s.post("/api/members", {{"action", "update"}, {"id", "igor"}, {"active", false}}, sess).status, 200);
            QVERIFY(s.post("/api/registry", {{"email", "team@corvane.dev"}, {"provider", "claude"}, {"plan", "Max"},
                                             {"price", 200}, {"owner", "olga"}, {"api_key", "sk-1"},
                                             {"auth_type", "api_key"}}, sess).status < 300);
            QImage img(32, 32, QImage::Format_ARGB32);
            img.fill(Qt::green);
            QBuffer b(&pic);
            b.open(QIODevice::WriteOnly);
            img.save(&b, "PNG");
            QCOMPARE(s.post("/api/me/avatar", {{"avatar_base64", QString::fromLatin1(pic.toBase64())}}, sess).status, 200);

            // The flags reach the pages.
            const Answer script = s.get("/raw/install.sh");
            QProcess bash;
            QTemporaryDir home;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("HOME", home.path());
            env.insert("BRINDLE_URL", s.url());
            env.insert("BRINDLE_TOKEN", "t");
            bash.setProcessEnvironment(env);
            bash.start("/bin/bash", {"-c", QString::fromUtf8(script.body)});
            QVERIFY(bash.waitForFinished(15000));
            QCOMPARE(bash.exitCode(), 3);
            const QByteArray feed = s.get("/appcast.xml").body;
            QVERIFY(feed.contains("<sparkle:version>42</sparkle:version>"));
            QVERIFY(feed.contains("<sparkle:shortVersionString>2.1.0</sparkle:shortVersionString>"));
        }
        {
            s.stop();
            QVERIFY(s.start(args, ReferenceServer::Seed::None));
            QVERIFY(s.signIn("admin", "wrong").isEmpty());
            const QString sess = s.signIn("admin", password);
            QVERIFY(!sess.isEmpty());
            QMap<QString, QJsonObject> byId;
            for (const QJsonValue &v : s.get("/api/members", sess).json().value("members").toArray())
                byId.insert(v.toObject().value("id").toString(), v.toObject());
            QCOMPARE(byId.keys(), QStringList({"admin", "igor", "olga"}));
            QCOMPARE(byId.value("olga").value("department").toString(), QString("Frontend"));
            QCOMPARE(byId.value("olga").value("n_accounts").toInt(), 1);
            QCOMPARE(byId.value("igor").value("active"), QJsonValue(false));
            QCOMPARE(byId.value("admin").value("has_avatar"), QJsonValue(true));
            QCOMPARE(s.get("/api/avatar?member_id=admin", sess).body, pic);
            const QJsonArray accounts = s.get("/api/accounts", sess).json().value("accounts").toArray();
            QCOMPARE(accounts.size(), 1);
            const QJsonObject a = accounts.first().toObject();
            QCOMPARE(a.value("email").toString(), QString("team@corvane.dev"));
            QCOMPARE(a.value("member_name").toString(), QString("Ольга Кузнецова"));
            QCOMPARE(a.value("has_key"), QJsonValue(true));
            QCOMPARE(a.value("price").toDouble(), 200.0);
        }
        // Passwords and credentials are never kept in clear; the schema carries its version.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(s.dbPath());
        s.stop();
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("PRAGMA user_version") && q.next());
        QVERIFY(q.value(0).toInt() >= 2);
        QVERIFY(q.exec("SELECT pw_hash, pw_iter FROM members") && q.next());
        QVERIFY(q.value(1).toInt() >= 100000);
        QVERIFY(!q.value(0).toByteArray().contains(password.toUtf8()));
        QVERIFY(q.exec("SELECT COUNT(*) FROM credentials WHERE length(hash) = 64") && q.next());
        QVERIFY(q.value(0).toInt() >= 2);
        q.finish();
        db.close();
    }
};

QTEST_GUILESS_MAIN(ServerPersistTest)
#include "tst_server_persist.moc"

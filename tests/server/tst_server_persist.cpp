// A fresh database: the first administrator, and every write surviving a restart; what lies on
// disk (modes, sealed keys, hashes); one-time passwords that expire. Also the feed version taken
// from the flags.
#include "kit.h"
#include "update/appcast.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using Answer = ReferenceServer::Answer;

class ServerPersistTest : public QObject {
    Q_OBJECT
    const QStringList args{"--feed-version", "2.1.0", "--feed-build", "42"};

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
            // The flags reach the feed (no credential needed), as the client reads it.
            const AppcastParse feed = parseAppcast(s.get("/appcast.xml").body);
            QCOMPARE(feed.items.size(), 1);
            QCOMPARE(feed.items[0].version + '/' + feed.items[0].build, QString("2.1.0/42"));
            QVERIFY(feed.items[0].link.startsWith("https://"));  // the client opens nothing else
        }
        {
            s.stop();
            QVERIFY(s.start(args, ReferenceServer::Seed::None));
            QVERIFY(s.signIn("admin", "wrong").isEmpty());
            const QString sess = s.signIn("admin", password);
            QVERIFY(!sess.isEmpty());
            const Answer members = s.get("/api/members", sess);
            QCOMPARE(members.list("members").size(), 3);
            QCOMPARE(members.find("members", "id", "olga").value("department").toString(), QString("Frontend"));
            QCOMPARE(members.find("members", "id", "olga").value("n_accounts").toInt(), 1);
            QCOMPARE(members.find("members", "id", "igor").value("active"), QJsonValue(false));
            QCOMPARE(members.find("members", "id", "admin").value("has_avatar"), QJsonValue(true));
            QCOMPARE(QImage::fromData(s.get("/api/avatar?member_id=admin", sess).body).convertToFormat(QImage::Format_ARGB32),
                     QImage::fromData(pic).convertToFormat(QImage::Format_ARGB32));
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
        // The API key is sealed, under a key kept beside the database, not in it.
        QVERIFY(q.exec("SELECT api_key, api_key_box FROM registry") && q.next());
        QVERIFY(q.value(0).isNull());
        QVERIFY(q.value(1).toByteArray().size() > 16 && !q.value(1).toByteArray().contains("sk-1"));
        q.finish();
        db.close();
        for (const QString &file : {s.dbPath(), s.dbPath() + ".key"})
            QCOMPARE(QFile::permissions(file) & 0x0777, QFile::ReadUser | QFile::WriteUser);
        QFile key(s.dbPath() + ".key");
        QVERIFY(key.open(QIODevice::ReadOnly) && key.readAll().size() == 32);

        // A key an older server stored in clear is sealed at the next start, and its clear text
        // is gone from the file, free pages and journal included.
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec("UPDATE registry SET api_key = 'sk-legacy-clear', api_key_box = NULL"));
        db.close();
        QVERIFY(s.start(args, ReferenceServer::Seed::None));
        s.stop();
        QVERIFY(db.open());
        {
            QSqlQuery sealed(db);
            QVERIFY(sealed.exec("SELECT api_key IS NULL, length(api_key_box) FROM registry") && sealed.next());
            QVERIFY(sealed.value(0).toBool() && sealed.value(1).toInt() > 16);
        }
        db.close();
        for (const QString &file : {s.dbPath(), s.dbPath() + "-wal"}) {
            QFile f(file);
            QVERIFY2(!f.open(QIODevice::ReadOnly) || !f.readAll().contains("sk-legacy-clear"), qPrintable(file));
        }
    }

    // Without --db the server makes its own folder, for its own user only.
    void defaultFolderIsPrivate() {
        QTemporaryDir home;
        QProcess server;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.remove("XDG_DATA_HOME");
        server.setProcessEnvironment(env);
        server.start(qEnvironmentVariable("CORVANE_SERVER_BIN"), {"--port", "0"});
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += server.readAllStandardOutput()).contains("login admin"), 30000);
        const QString dir = home.filePath(".local/share/Corvane/corvane-team-server");
        QCOMPARE(QFile::permissions(dir) & 0x0777, QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        for (const QString &file : QDir(dir).entryList(QDir::Files))
            QVERIFY2((QFile::permissions(dir + "/" + file) & 0x0077) == 0, qPrintable(file));
        QVERIFY(QFile::exists(dir + "/team.sqlite") && QFile::exists(dir + "/team.sqlite.key"));
        server.kill();
        server.waitForFinished();
    }

    // A one-time password is good for a limited time (here six seconds); a team left with no
    // administrator who can sign in gets a fresh one at the next start.
    void oneTimePasswordExpires() {
        ReferenceServer s;
        QElapsedTimer age;
        age.start();
        QVERIFY(s.start({"--otp-lifetime", "6"}, ReferenceServer::Seed::FirstAdmin));
        const QString otp = s.login("admin").password;
        QTRY_VERIFY_WITH_TIMEOUT(s.post("/api/provision", {{"login", "admin"}, {"password", otp}}).status == 401, 15000);
        const Answer refused = s.post("/api/provision", {{"login", "admin"}, {"password", otp}});
        QVERIFY(refused.json().value("error").toString() != "invalid_credentials");
        QCOMPARE(s.post("/api/member/change-password", {{"login", "admin"}, {"current_password", otp},
                                                        {"new_password", "new-password-1"}}).status, 401);
        s.stop();
        while (age.elapsed() < 6500) QTest::qWait(100);
        QVERIFY(s.start({"--otp-lifetime", "6"}, ReferenceServer::Seed::None));
        QCOMPARE(s.logins().size(), 1);
        QVERIFY(s.login("admin").password != otp);
        QJsonObject a;
        QVERIFY(!s.signIn("admin", s.login("admin").password, &a).isEmpty());
        QCOMPARE(a.value("must_change"), QJsonValue(true));
    }

    // A team left without an active administrator (every one disabled, or demoted) gets one back
    // at the next start: the first administrator enabled again, or failing that a new one.
    void administratorRevived_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("login");
        QTest::newRow("all disabled") << "UPDATE members SET active = 0 WHERE role = 'admin'" << "admin";
        QTest::newRow("all demoted") << "UPDATE members SET role = 'viewer' WHERE role = 'admin'" << "admin2";
    }
    void administratorRevived() {
        QFETCH(QString, change);
        QFETCH(QString, login);
        ReferenceServer s;
        QVERIFY(s.start());
        s.stop();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "revive");
            db.setDatabaseName(s.dbPath());
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(change));
        }
        QSqlDatabase::removeDatabase("revive");
        QVERIFY(s.start({}, ReferenceServer::Seed::None));
        QCOMPARE(s.logins().size(), 1);
        QCOMPARE(s.logins().first().login, login);
        const QString session = s.signIn(login, s.logins().first().password);
        QVERIFY(!session.isEmpty());
        QCOMPARE(s.get("/api/me", session).json().value("role").toString(), QString("admin"));
    }

    // Two server processes on one PostgreSQL database: a credential issued by one is good at the
    // other, a write through one shows in the other's cached list, a revocation through one holds
    // in the other as soon as it next reads the counters (200 ms).
    void twoServersOneDatabase() {
        PostgresCluster pg;
        QVERIFY2(pg.start(), qPrintable(pg.error()));
        const QString url = pg.createDatabase("shared");
        QVERIFY2(!url.isEmpty(), qPrintable(pg.error()));
        QTemporaryDir keys;
        const QStringList sameKey{"--key-file", keys.filePath("registry.key")};
        ReferenceServer a, b;
        a.setDatabase(url);
        b.setDatabase(url);
        QVERIFY(a.start(sameKey));
        QVERIFY(b.start(sameKey, ReferenceServer::Seed::None));
        const QString admin = a.signIn("admin", a.login("admin").password);
        const QString viewer = b.signIn("anna", a.login("anna").password);
        const qsizetype before = b.get("/api/accounts", admin).json().value("accounts").toArray().size();
        QVERIFY(before > 0);
        QVERIFY(a.post("/api/registry", {{"email", "shared@corvane.dev"}, {"provider", "claude"}, {"api_key", "sk-2"}}, admin)
                    .status < 300);
        QTRY_COMPARE(b.get("/api/accounts", admin).json().value("accounts").toArray().size(), before + 1);
        QCOMPARE(a.get("/api/my/status", viewer).status, 200);
        QCOMPARE(b.post("/api/members", {{"action", "update"}, {"id", "anna"}, {"active", false}}, admin).status, 200);
        QTRY_COMPARE_WITH_TIMEOUT(a.get("/api/my/status", viewer).status, 401, 2000);
    }
};

QTEST_GUILESS_MAIN(ServerPersistTest)
#include "tst_server_persist.moc"

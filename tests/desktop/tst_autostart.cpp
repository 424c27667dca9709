// The login autostart entry: written where the desktop looks for it, valid, and removed again.
#include "app/autostart.h"
#include "testmain.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TstAutostart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The program path as the entry's Exec line must carry it.
    void writtenAndRemoved_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/usr/local/bin/corvane-team" << "Exec=/usr/local/bin/corvane-team";
        QTest::newRow("space") << "/opt/corvane team/corvane-team" << "Exec=\"/opt/corvane team/corvane-team\"";
        QTest::newRow("dollar and quote") << "/a$b\"c" << "Exec=\"/a\\\\$b\\\\\"c\"";
    }
    void writtenAndRemoved()
    {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        QFETCH(QString, program);
        Autostart a(nullptr, program);
        const QString path = config.path() + "/autostart/com.corvane.team.desktop";
        QCOMPARE(Autostart::entryPath(), path);
        QVERIFY(!a.enabled());

        a.setEnabled(true);
        QVERIFY(a.enabled());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QFETCH(QString, exec);
        QVERIFY(QString::fromUtf8(f.readAll()).split('\n').contains(exec));
        QProcess v;
        v.start("desktop-file-validate", {path});
        QVERIFY(v.waitForFinished(20000));
        QVERIFY2(v.exitCode() == 0, v.readAllStandardOutput().constData());

        a.setEnabled(false);
        QVERIFY(!QFile::exists(path));
    }
};

CORVANE_TEST_CLASS(TstAutostart)
#include "tst_autostart.moc"

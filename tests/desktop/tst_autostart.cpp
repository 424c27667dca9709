// The login autostart entry: written where the desktop looks for it, valid, and removed again.
#include "app/autostart.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TstAutostart : public QObject
{
    Q_OBJECT
    QTemporaryDir m_config;

private Q_SLOTS:
    void init() { qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8()); }

    void writtenAndRemoved()
    {
        Autostart a(nullptr, "/opt/corvane team/bin/corvane-team");
        QSignalSpy changed(&a, &Autostart::enabledChanged);
        const QString path = m_config.path() + "/autostart/com.corvane.team.desktop";
        QCOMPARE(Autostart::entryPath(), path);
        QVERIFY(!a.enabled());

        a.setEnabled(true);
        QVERIFY(QFile::exists(path));
        QVERIFY(a.enabled());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY2(text.contains("\nExec=\"/opt/corvane team/bin/corvane-team\"\n"), qPrintable(text));
        const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
        if (!validator.isEmpty()) {
            QProcess v;
            v.start(validator, {path});
            QVERIFY(v.waitForFinished(20000));
            QVERIFY2(v.exitCode() == 0, v.readAllStandardOutput().constData());
        }

        a.setEnabled(false);
        QVERIFY(!QFile::exists(path));
        QVERIFY(!a.enabled());
        QCOMPARE(changed.count(), 2);
    }

    void execQuoting_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/usr/local/bin/corvane-team" << "Exec=/usr/local/bin/corvane-team";
        QTest::newRow("space") << "/a b/c" << "Exec=\"/a b/c\"";
        QTest::newRow("dollar and quote") << "/a$b\"c" << "Exec=\"/a\\\\$b\\\\\"c\"";
    }
    void execQuoting()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        QVERIFY2(QString::fromUtf8(Autostart::entry(program)).contains("\n" + exec + "\n"),
                 Autostart::entry(program).constData());
    }
};

QTEST_GUILESS_MAIN(TstAutostart)
#include "tst_autostart.moc"

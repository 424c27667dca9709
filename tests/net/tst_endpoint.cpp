// Server URL from the environment, the retired origin, and the set-up marker file.
#include "net/endpoint.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

// Child mode: print serverUrl() twice, changing the environment in between, so the parent can
// check both the value and that it is fixed after first use.
int printEndpoint()
{
    const QString first = endpoint::serverUrl();
    qputenv("BRINDLE_SERVER_URL", "https://changed.example");
    const QString second = endpoint::serverUrl();
    std::printf("[%s]\n[%s]\n", qPrintable(first), qPrintable(second));
    return 0;
}

} // namespace

class TestEndpoint : public QObject {
    Q_OBJECT

    // Runs this binary in child mode with `value` as BRINDLE_SERVER_URL (unset when null).
    QStringList childUrls(const QString &value)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("BRINDLE_SERVER_URL"));
        if (!value.isNull())
            env.insert(QStringLiteral("BRINDLE_SERVER_URL"), value);
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--print-endpoint")});
        if (!p.waitForFinished(10000))
            return {};
        return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void serverUrlFromEnvironment_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unset: built-in default") << QString() << QStringLiteral(CORVANE_DEFAULT_SERVER);
        QTest::newRow("empty value is used as is") << QStringLiteral("") << QString();
        QTest::newRow("taken verbatim, trailing slash kept")
            << QStringLiteral("http://127.0.0.1:8080/base/") << QStringLiteral("http://127.0.0.1:8080/base/");
    }
    void serverUrlFromEnvironment()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        const QStringList lines = childUrls(value);
        const QString bracketed = QLatin1Char('[') + expected + QLatin1Char(']');
        // Both reads agree: a later change of the environment does not move the server.
        QCOMPARE(lines, QStringList({bracketed, bracketed}));
    }

    void configExistsForAnythingAtThePath()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        const QString path = home.path() + QStringLiteral("/.brindle/config");
        QCOMPARE(endpoint::configPath(), path);

        QVERIFY(!endpoint::configExists());
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral(".brindle")));
        QVERIFY(!endpoint::configExists()); // the folder alone is not enough

        QFile empty(path);
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QVERIFY(endpoint::configExists()); // empty file: only existence counts

        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
        QVERIFY(endpoint::configExists()); // a directory in its place

        QVERIFY(QDir().rmdir(path));
        QVERIFY(QFile::link(home.path() + QStringLiteral("/nowhere"), path));
        QVERIFY(endpoint::configExists()); // a dangling symbolic link

        qputenv("HOME", oldHome);
    }
};

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--print-endpoint") == 0)
        return printEndpoint();
    QCoreApplication app(argc, argv);
    TestEndpoint t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_endpoint.moc"

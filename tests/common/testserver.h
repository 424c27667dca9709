#pragma once
// Starts the reference team server on an ephemeral port with a throwaway database, for
// end-to-end tests. The server prints its base URL first, then (with --demo) one line per demo
// sign-in: "login L password P role R".

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

class TestServer
{
public:
    struct Login { QString login, password, role; };

    // extraArgs e.g. {"--install-exit", "1"}; demo seeds the demo team.
    bool start(bool demo = true, const QStringList &extraArgs = {})
    {
        const QString bin = qEnvironmentVariable("CORVANE_SERVER_BIN");
        if (bin.isEmpty() || !m_dir.isValid())
            return false;
        QStringList args{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--db"),
                         m_dir.filePath(QStringLiteral("team.sqlite"))};
        if (demo)
            args << QStringLiteral("--demo") << QStringLiteral("--seed") << QStringLiteral("7");
        args << extraArgs;
        m_proc.setProgram(bin);
        m_proc.setArguments(args);
        m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_proc.start();
        if (!m_proc.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        QByteArray buf;
        // Read the URL line, then the demo logins until the output pauses.
        // The demo sign-ins follow once their passwords are hashed (a second or more).
        const auto ready = [&] { return !m_url.isEmpty() && (!demo || !m_logins.isEmpty()); };
        // Generous: a sanitizer build on a busy machine takes many seconds to seed the demo team.
        while (t.elapsed() < 60000) {
            // Before the first sign-in line the pause may just be password hashing (slow in a
            // sanitizer build): wait longer for it.
            if (!m_proc.waitForReadyRead(!ready() ? 2000 : m_logins.isEmpty() ? 3000 : 500)) {
                if (ready())
                    break;
                if (m_proc.state() != QProcess::Running)
                    return false;
                continue;
            }
            buf += m_proc.readAllStandardOutput();
            while (buf.contains('\n')) {
                const qsizetype nl = buf.indexOf('\n');
                const QString line = QString::fromUtf8(buf.left(nl)).trimmed();
                buf.remove(0, nl + 1);
                if (m_url.isEmpty() && line.startsWith(QLatin1String("http"))) {
                    m_url = line;
                } else if (line.startsWith(QLatin1String("login "))) {
                    const QStringList p = line.split(u' ');
                    if (p.size() >= 6)
                        m_logins.append({p[1], p[3], p[5]});
                }
            }
        }
        return !m_url.isEmpty();
    }

    void stop()
    {
        if (m_proc.state() == QProcess::Running) {
            m_proc.terminate();
            if (!m_proc.waitForFinished(3000))
                m_proc.kill();
            m_proc.waitForFinished(1000);
        }
    }

    ~TestServer() { stop(); }

    QString url() const { return m_url; }
    QString dbPath() { return m_dir.filePath(QStringLiteral("team.sqlite")); }
    const QList<Login> &logins() const { return m_logins; }
    // The first demo sign-in with the given role ("admin", "viewer", ...).
    Login loginFor(const QString &role) const
    {
        for (const Login &l : m_logins)
            if (l.role == role)
                return l;
        return {};
    }

private:
    QTemporaryDir m_dir;
    QProcess m_proc;
    QString m_url;
    QList<Login> m_logins;
};

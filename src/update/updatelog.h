#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Where the outcome of every update check is written. The updater knows nothing about the
// system log; the application hands it a JournalLog, tests hand it a MemoryLog.
class UpdateLog
{
public:
    virtual ~UpdateLog() = default;
    virtual void info(const QString &msg) = 0;
    virtual void error(const QString &msg) = 0;
};

// Writes to the systemd journal with the application's identifier as subsystem and the
// category "sparkle", so that `journalctl SUBSYSTEM=com.corvane.team CATEGORY=sparkle`
// finds the update lines. sd_journal_send reports success even when nothing listens, so
// whether the journal is there is decided by its socket; without it the same line goes to
// the fallback sink (standard error unless a test injects one).
class JournalLog final : public UpdateLog
{
public:
    using Sink = std::function<void(const QByteArray &line)>;

    static QString defaultSocketPath();

    explicit JournalLog(const QString &socketPath = defaultSocketPath(), Sink fallback = {});

    void info(const QString &msg) override;
    void error(const QString &msg) override;

    // The line written when no journal listens, e.g.
    // "corvane-team[com.corvane.team:sparkle] info: no update available".
    static QByteArray fallbackLine(bool isError, const QString &msg);

private:
    void write(bool isError, const QString &msg);

    QString m_socketPath;
    Sink m_fallback;
};

// Keeps the lines in memory as "info: ..." / "error: ...".
class MemoryLog final : public UpdateLog
{
public:
    QStringList lines;

    void info(const QString &msg) override { lines << QStringLiteral("info: ") + msg; }
    void error(const QString &msg) override { lines << QStringLiteral("error: ") + msg; }
};

// Folds control characters (line breaks included) into spaces, so that text taken from an
// update feed can never forge a second log line.
QString oneLogLine(const QString &text);

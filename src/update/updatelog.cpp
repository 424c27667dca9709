#include "updatelog.h"

#include <QFileInfo>

#include <systemd/sd-journal.h>

#include <cstdio>

namespace {

constexpr int kPriorityInfo = 6; // LOG_INFO
constexpr int kPriorityError = 3; // LOG_ERR
constexpr const char *kIdentifier = "corvane-team";
constexpr const char *kCategory = "sparkle";

void writeToStderr(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

QString oneLogLine(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return out;
}

QString JournalLog::defaultSocketPath()
{
    return QStringLiteral("/run/systemd/journal/socket");
}

JournalLog::JournalLog(const QString &socketPath, Sink fallback)
    : m_socketPath(socketPath), m_fallback(fallback ? std::move(fallback) : Sink(writeToStderr))
{
}

void JournalLog::info(const QString &msg)
{
    write(false, msg);
}

void JournalLog::error(const QString &msg)
{
    write(true, msg);
}

QByteArray JournalLog::fallbackLine(bool isError, const QString &msg)
{
    return QByteArray(kIdentifier) + '[' + CORVANE_APP_ID + ':' + kCategory + "] "
        + (isError ? "error: " : "info: ") + oneLogLine(msg).toUtf8() + '\n';
}

void JournalLog::write(bool isError, const QString &msg)
{
    // Checked on every line: the journal may come up (or go away) while the client runs.
    if (QFileInfo::exists(m_socketPath)) {
        const QByteArray text = oneLogLine(msg).toUtf8();
        const int rc = sd_journal_send("MESSAGE=%s", text.constData(),
                                       "PRIORITY=%i", isError ? kPriorityError : kPriorityInfo,
                                       "SYSLOG_IDENTIFIER=%s", kIdentifier,
                                       "SUBSYSTEM=%s", CORVANE_APP_ID,
                                       "CATEGORY=%s", kCategory,
                                       nullptr);
        if (rc >= 0)
            return;
    }
    m_fallback(fallbackLine(isError, msg));
}

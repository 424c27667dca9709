#include "updater.h"

#include <QHostAddress>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#ifndef CORVANE_BUILD
#define CORVANE_BUILD "1"
#endif

namespace {

constexpr int kMinIntervalMs = 60 * 1000;
constexpr qsizetype kMaxVersionChars = 100;

// Versions come from the feed and end up in the log and on screen: one short line each.
QString feedLine(const QString &text)
{
    return oneLogLine(text).trimmed().left(kMaxVersionChars);
}

bool isLoopback(const QUrl &url)
{
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress addr(host);
    return !addr.isNull() && addr.isLoopback();
}

} // namespace

Updater::Updater(UpdateLog *log, QObject *parent)
    : QObject(parent),
      m_log(log),
      m_feedUrl(feedUrl()),
      m_currentVersion(QStringLiteral(CORVANE_VERSION)),
      m_currentBuild(QStringLiteral(CORVANE_BUILD))
{
    m_nam.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    connect(&m_schedule, &QTimer::timeout, this, [this] {
        if (m_schedule.interval() != m_intervalMs)
            m_schedule.setInterval(m_intervalMs);
        if (!checking())
            start(false);
    });
}

Updater::~Updater()
{
    // The reply would report its abort to a half-destroyed object otherwise.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

QString Updater::feedUrl()
{
    const QString env = qEnvironmentVariable("BRINDLE_APPCAST_URL").trimmed();
    return env.isEmpty() ? QStringLiteral(CORVANE_APPCAST_URL) : env;
}

void Updater::setFeedUrl(const QString &url)
{
    m_feedUrl = url.trimmed();
}

void Updater::setCurrent(const QString &version, const QString &build)
{
    if (version == m_currentVersion && build == m_currentBuild)
        return;
    m_currentVersion = version;
    m_currentBuild = build;
    emit currentChanged();
}

void Updater::checkForUpdates()
{
    if (checking()) {
        // A silent check is already under way: its answer is the one the user asked for.
        m_manual = true;
        return;
    }
    start(true);
}

void Updater::startScheduled(int intervalMs, int firstDelayMs)
{
    m_intervalMs = qMax(intervalMs, kMinIntervalMs);
    m_schedule.setSingleShot(false);
    m_schedule.start(qMax(firstDelayMs, 0));
}

void Updater::stopScheduled()
{
    m_schedule.stop();
}

bool Updater::linkIsSafe() const
{
    return isSafeLink(m_link);
}

void Updater::start(bool manual)
{
    m_manual = manual;
    m_tooLarge = false;
    setResult(QString(), {}, QString());

    const QUrl url(m_feedUrl, QUrl::StrictMode);
    if (m_feedUrl.isEmpty()) {
        fail(QStringLiteral("адрес ленты обновлений не задан"));
        endCheck();
        return;
    }
    // Plain http only to this machine (a local test feed); anywhere else the feed could be
    // altered on its way.
    const bool https = url.scheme() == QLatin1String("https");
    const bool localHttp = url.scheme() == QLatin1String("http") && isLoopback(url);
    if (!url.isValid() || url.host().isEmpty() || !(https || localHttp)) {
        fail(QStringLiteral("недопустимый адрес ленты обновлений, нужен https"));
        endCheck();
        return;
    }

    QNetworkRequest request(url);
    request.setTransferTimeout(m_timeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("corvane-team/%1").arg(m_currentVersion));
    request.setRawHeader("Accept", "application/rss+xml, application/xml;q=0.9, text/xml;q=0.8");
    QNetworkReply *reply = m_nam.get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received, qint64) {
        if (received > kMaxFeedBytes && !m_tooLarge) {
            m_tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, &Updater::onFinished);
    emit checkingChanged();
}

void Updater::onFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    reply->deleteLater();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_tooLarge) {
        fail(QStringLiteral("лента обновлений слишком велика"));
    } else if (status != 0 && (status < 200 || status > 299)) {
        // The status is reported in our own words: the server's reason phrase stays out of the log.
        fail(QStringLiteral("сервер обновлений ответил кодом %1").arg(status));
    } else if (reply->error() != QNetworkReply::NoError) {
        fail(networkFailure(reply));
    } else {
        const AppcastParse feed = parseAppcast(reply->readAll());
        if (!feed.error.isEmpty()) {
            fail(feed.error);
        } else {
            const AppcastItem newest = *newestItem(feed.items);
            if (!isNewer(newest, m_currentVersion, m_currentBuild))
                finishNone();
            else if (newest.linkRejected)
                fail(QStringLiteral("ссылка на новую версию небезопасна, допускается только https"));
            else
                finishFound(newest);
        }
    }
    endCheck();
}

QString Updater::networkFailure(QNetworkReply *reply) const
{
    switch (reply->error()) {
    case QNetworkReply::OperationCanceledError: // the transfer time-out cancels the request
    case QNetworkReply::TimeoutError:
        return QStringLiteral("сервер обновлений не ответил за %1 с").arg((m_timeoutMs + 999) / 1000);
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("сервер обновлений недоступен: соединение отклонено");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("сервер обновлений закрыл соединение");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("сервер обновлений не найден");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("не удалось установить защищённое соединение с сервером обновлений");
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("сервер обновлений перенаправил запрос недопустимым образом");
    default:
        return QStringLiteral("ошибка сети при проверке обновлений: %1").arg(reply->errorString());
    }
}

void Updater::finishFound(const AppcastItem &item)
{
    AppcastItem shown = item;
    shown.version = feedLine(item.version);
    shown.build = feedLine(item.build);
    setResult(QStringLiteral("found"), shown, QString());
    m_log->info(QStringLiteral("update found: %1 (build %2)").arg(shown.version, shown.build));
}

void Updater::finishNone()
{
    setResult(QStringLiteral("none"), {}, QString());
    m_log->info(QStringLiteral("no update available"));
}

void Updater::fail(const QString &description)
{
    setResult(QStringLiteral("error"), {}, description);
    m_log->error(QStringLiteral("update aborted: %1").arg(oneLogLine(description)));
}

void Updater::setResult(const QString &kind, const AppcastItem &item, const QString &error)
{
    const QString link = isSafeLink(item.link) ? item.link : QString();
    if (kind == m_resultKind && item.version == m_foundVersion && item.build == m_foundBuild
        && item.notes == m_notes && link == m_link && error == m_errorText)
        return;
    m_resultKind = kind;
    m_foundVersion = item.version;
    m_foundBuild = item.build;
    m_notes = item.notes;
    m_link = link;
    m_errorText = error;
    emit resultChanged();
}

void Updater::endCheck()
{
    const bool wasChecking = m_reply != nullptr;
    m_reply = nullptr;
    if (wasChecking)
        emit checkingChanged();
    if (m_manual) {
        m_manual = false;
        emit checkFinished();
    } else {
        emit scheduledCheckFinished();
    }
}

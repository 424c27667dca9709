#pragma once

#include "appcast.h"
#include "updatelog.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>

// The client's update checker. There is no update framework on Linux, so this reads the
// appcast itself: it fetches the feed, picks its newest release, compares it with the running
// version and writes one of three lines to the update log:
//   info  "update found: <display version> (build <build>)"
//   info  "no update available"
//   error "update aborted: <description>"
// It never downloads or installs anything; a found release is only described (version, notes,
// an https link the interface may open). Created once by the application, before the Store.
class Updater : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool checking READ checking NOTIFY checkingChanged)
    // "" before the first result, "found", "none" or "error".
    Q_PROPERTY(QString resultKind READ resultKind NOTIFY resultChanged)
    Q_PROPERTY(QString foundVersion READ foundVersion NOTIFY resultChanged)
    Q_PROPERTY(QString foundBuild READ foundBuild NOTIFY resultChanged)
    Q_PROPERTY(QString notes READ notes NOTIFY resultChanged)
    Q_PROPERTY(QString link READ link NOTIFY resultChanged)
    Q_PROPERTY(QString errorText READ errorText NOTIFY resultChanged)
    Q_PROPERTY(QString currentVersion READ currentVersion NOTIFY currentChanged)
    Q_PROPERTY(QString currentBuild READ currentBuild NOTIFY currentChanged)

public:
    static constexpr int kDefaultTimeoutMs = 30 * 1000;
    static constexpr qint64 kMaxFeedBytes = 4 * 1024 * 1024;

    explicit Updater(UpdateLog *log, QObject *parent = nullptr);
    ~Updater() override;

    // BRINDLE_APPCAST_URL from the environment, else the built-in feed address.
    static QString feedUrl();

    void setFeedUrl(const QString &url);
    QString feedUrlInUse() const { return m_feedUrl; }
    void setCurrent(const QString &version, const QString &build);
    void setTimeout(int ms) { m_timeoutMs = ms; }

    // A check the user asked for: checkFinished() follows, and the interface shows the result.
    Q_INVOKABLE void checkForUpdates();
    // The first silent check a little after start-up, then one every interval. Silent checks
    // update the properties and the log but do not emit checkFinished().
    void startScheduled(int intervalMs = 24 * 3600 * 1000, int firstDelayMs = 10 * 1000);
    void stopScheduled();

    // Whether `link` may be opened: an absolute https address. The interface opens it itself.
    Q_INVOKABLE bool linkIsSafe() const;

    bool checking() const { return m_reply != nullptr; }
    QString resultKind() const { return m_resultKind; }
    QString foundVersion() const { return m_foundVersion; }
    QString foundBuild() const { return m_foundBuild; }
    QString notes() const { return m_notes; }
    QString link() const { return m_link; }
    QString errorText() const { return m_errorText; }
    QString currentVersion() const { return m_currentVersion; }
    QString currentBuild() const { return m_currentBuild; }

signals:
    void checkingChanged();
    void resultChanged();
    void currentChanged();
    void checkFinished();
    // A scheduled (silent) check has ended, whatever its result.
    void scheduledCheckFinished();

private:
    void start(bool manual);
    void onFinished();
    void finishFound(const AppcastItem &item);
    void finishNone();
    void fail(const QString &description);
    void setResult(const QString &kind, const AppcastItem &item, const QString &error);
    void endCheck();
    QString networkFailure(QNetworkReply *reply) const;

    UpdateLog *m_log;
    QNetworkAccessManager m_nam;
    QPointer<QNetworkReply> m_reply;
    QTimer m_schedule;
    int m_intervalMs = 24 * 3600 * 1000;
    int m_timeoutMs = kDefaultTimeoutMs;
    bool m_manual = false;
    bool m_tooLarge = false;

    QString m_feedUrl;
    QString m_currentVersion;
    QString m_currentBuild;
    QString m_resultKind;
    QString m_foundVersion;
    QString m_foundBuild;
    QString m_notes;
    QString m_link;
    QString m_errorText;
};

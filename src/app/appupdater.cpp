#include "app/appupdater.h"

#include "update/updater.h"

#include <QDesktopServices>
#include <QJSEngine>
#include <QQmlEngine>
#include <QUrl>

namespace {
QPointer<AppUpdater> g_updater;
}

AppUpdater::AppUpdater(Updater *updater, QObject *parent)
    : QObject(parent)
    , m_updater(updater)
{
    if (!updater)
        return;
    connect(updater, &Updater::checkingChanged, this, &AppUpdater::checkingChanged);
    connect(updater, &Updater::resultChanged, this, &AppUpdater::resultChanged);
    connect(updater, &Updater::checkFinished, this, [this] {
        if (resultKind() == QLatin1String("found"))
            m_announced = foundKey();
        Q_EMIT checkFinished();
        Q_EMIT dialogRequested();
    });
    connect(updater, &Updater::scheduledCheckFinished, this, &AppUpdater::onScheduledCheck);
}

Updater *AppUpdater::updater() const
{
    return m_updater;
}

QString AppUpdater::foundKey() const
{
    return m_updater ? m_updater->foundVersion() + u'\n' + m_updater->foundBuild() : QString();
}

void AppUpdater::onScheduledCheck()
{
    if (resultKind() != QLatin1String("found") || foundKey() == m_announced)
        return;
    m_announced = foundKey();
    Q_EMIT newVersionFound();
}

void AppUpdater::setInstance(AppUpdater *u) { g_updater = u; }
AppUpdater *AppUpdater::instance() { return g_updater; }

AppUpdater *AppUpdater::create(QQmlEngine *engine, QJSEngine *)
{
    if (AppUpdater *u = g_updater) {
        QJSEngine::setObjectOwnership(u, QJSEngine::CppOwnership);
        return u;
    }
    // Without an application updater (tests of single screens) the button does nothing.
    return new AppUpdater(nullptr, engine);
}

bool AppUpdater::checking() const { return m_updater && m_updater->checking(); }
QString AppUpdater::resultKind() const { return m_updater ? m_updater->resultKind() : QString(); }
QString AppUpdater::notes() const { return m_updater ? m_updater->notes() : QString(); }
QString AppUpdater::currentVersion() const { return m_updater ? m_updater->currentVersion() : QString(); }

bool AppUpdater::canOpenLink() const
{
    return m_updater && resultKind() == QLatin1String("found") && m_updater->linkIsSafe();
}

QString AppUpdater::title() const { return titleFor(resultKind()); }

QString AppUpdater::message() const
{
    if (!m_updater)
        return QString();
    return messageFor(resultKind(), m_updater->foundVersion(), m_updater->errorText());
}

QString AppUpdater::titleFor(const QString &kind)
{
    if (kind == QLatin1String("found"))
        return QStringLiteral("Доступна новая версия");
    if (kind == QLatin1String("none"))
        return QStringLiteral("Обновлений нет");
    if (kind == QLatin1String("error"))
        return QStringLiteral("Не удалось проверить обновления");
    return QString();
}

QString AppUpdater::messageFor(const QString &kind, const QString &version, const QString &error)
{
    if (kind == QLatin1String("found"))
        return QStringLiteral("Доступна версия %1.").arg(version);
    if (kind == QLatin1String("none"))
        return QStringLiteral("Установлена последняя версия");
    if (kind == QLatin1String("error"))
        return error.isEmpty() ? QStringLiteral("Неизвестная ошибка.") : error;
    return QString();
}

void AppUpdater::checkForUpdates()
{
    if (m_updater)
        m_updater->checkForUpdates();
}

bool AppUpdater::openLink()
{
    if (!canOpenLink())
        return false;
    return QDesktopServices::openUrl(QUrl(m_updater->link()));
}

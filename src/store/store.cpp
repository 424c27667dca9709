#include "store/store.h"

#include "net/endpoint.h"
#include "net/secretstore.h"
#include "setup/installrunner.h"
#include "setup/setupscript.h"

#include <QQmlEngine>
#include <QSettings>

namespace {
QPointer<Store> g_instance;
const char kSidebarKey[] = "sidebarCollapsed";
} // namespace

Store::Store(QObject *parent, const StoreDeps &deps)
    : QObject(parent)
    , m_deps(deps)
    , m_home(new HomeState(this))
    , m_profile(new ProfileState(this))
    , m_stats(new StatsState(this))
    , m_activity(new ActivityState(this))
    , m_resources(new ResourcesState(this))
    , m_roster(new RosterState(this))
{
    qRegisterMetaType<SetupStep>();
    m_serverUrl = endpoint::serverUrl();

    QList<SetupStep> steps;
    for (const QString &label : setup::stepLabels())
        steps.append(SetupStep{label, false});
    m_steps = steps;

    if (m_deps.secrets) {
        m_secrets = m_deps.secrets;
    } else {
        m_ownedSecrets = makeSecretStore();
        m_secrets = m_ownedSecrets.get();
    }

    m_http = new Http(this);
    m_http->setTimeoutMs(m_deps.httpTimeoutMs);

    m_settings = m_deps.settingsFile.isEmpty()
        ? new QSettings(this)
        : new QSettings(m_deps.settingsFile, QSettings::IniFormat, this);
    m_sidebarCollapsed = m_settings->value(kSidebarKey, false).toBool();

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setInterval(m_deps.refreshIntervalMs);
    connect(m_refreshTimer, &QTimer::timeout, this, [this] {
        if (m_phase != Phase::Platform) {
            m_refreshTimer->stop();
            return;
        }
        refreshHome();
        if (isAdmin()) {
            loadTeam();
            loadAlerts();
        }
        Q_EMIT refreshPass();
    });

    for (auto sig : {&Store::roleChanged, &Store::sessionChanged, &Store::authExpiredChanged})
        connect(this, sig, this, &Store::needsReloginChanged);
    connect(this, &Store::nameChanged, this, &Store::initialsChanged);
    connect(this, &Store::loginChanged, this, &Store::initialsChanged);
}

Store::~Store() = default;

void Store::setInstance(Store *store) { g_instance = store; }
Store *Store::instance() { return g_instance; }

Store *Store::create(QQmlEngine *, QJSEngine *)
{
    Store *s = g_instance;
    Q_ASSERT_X(s, "Store::create", "the application creates its Store before loading QML");
    QJSEngine::setObjectOwnership(s, QJSEngine::CppOwnership);
    return s;
}

QString Store::navKey(Nav n)
{
    switch (n) {
    case Nav::Dashboard: return QStringLiteral("dashboard");
    case Nav::Accounts: return QStringLiteral("accounts");
    case Nav::Stats: return QStringLiteral("stats");
    case Nav::Activity: return QStringLiteral("activity");
    case Nav::Team: return QStringLiteral("team");
    case Nav::Projects: return QStringLiteral("projects");
    case Nav::Tasks: return QStringLiteral("tasks");
    }
    return QString();
}

std::optional<Store::Nav> Store::navFromKey(const QString &key)
{
    for (Nav n : {Nav::Dashboard, Nav::Accounts, Nav::Stats, Nav::Activity, Nav::Team, Nav::Projects, Nav::Tasks})
        if (navKey(n) == key)
            return n;
    return std::nullopt;
}

QString Store::phaseKey(Phase p)
{
    switch (p) {
    case Phase::Auth: return QStringLiteral("auth");
    case Phase::ChangePassword: return QStringLiteral("changePassword");
    case Phase::Onboarding: return QStringLiteral("onboarding");
    case Phase::Platform: return QStringLiteral("platform");
    }
    return QString();
}

void Store::setNavByName(const QString &key)
{
    if (auto n = navFromKey(key))
        setNav(*n);
}

bool Store::configExists() const
{
    return endpoint::configExists();
}

void Store::bootstrap()
{
    // A sign-in in flight wins over a saved session, and one read at a time is enough.
    if (m_busy || m_restoring)
        return;
    const quint64 gen = beginSession();
    setRestoring(true);

    // The secret service may take seconds or never answer: the window keeps running meanwhile, and
    // one bound covers the whole read. Past it the saved session counts as unreadable and the
    // sign-in screen stays; a sign-in started meanwhile raises the generation and wins.
    QTimer::singleShot(m_deps.secretsBoundMs, this, [this, gen] {
        if (gen != m_generation || !m_restoring)
            return;
        setRestoring(false);
        setPhase(Phase::Auth);
    });
    auto saved = std::make_shared<QHash<QString, std::optional<QString>>>();
    for (const QString &key : Keychain::items()) {
        Keychain::get(*m_secrets, key, this, [this, gen, key, saved](const std::optional<QString> &value) {
            if (gen != m_generation || !m_restoring)
                return;
            saved->insert(key, value);
            if (saved->size() < Keychain::items().size())
                return;
            setRestoring(false);
            restore(*saved);
        });
    }
}

void Store::restore(const QHash<QString, std::optional<QString>> &saved)
{
    const auto item = [&saved](const char *key) { return saved.value(QLatin1String(key)); };
    const auto token = item("token");
    if (!token || token->isEmpty() || !configExists()) {
        setPhase(Phase::Auth);
        return;
    }
    setToken(*token);
    setLogin(item("login").value_or(QString()));
    setName(item("name").value_or(m_login));
    setServerUrl(item("url").value_or(endpoint::serverUrl()));
    setRole(item("role").value_or(QStringLiteral("viewer")));
    if (m_serverUrl == endpoint::retiredUrl()) {
        setServerUrl(endpoint::serverUrl());
        Keychain::set(*m_secrets, QStringLiteral("url"), m_serverUrl);
    }
    setSession(item("session").value_or(QString()));
    if (!isAdmin())
        clearAdminData();
    setPhase(Phase::Platform);
    loadMe();
    startAutoRefresh();
}

quint64 Store::beginSession()
{
    ++m_generation;
    m_tags.clear();
    m_keptJson.clear();
    if (m_restoring)
        setRestoring(false);
    // What was loading or being sent belonged to the session that ended; its answers are
    // dropped, so nothing else would end these.
    using Flag = std::pair<const bool &(Store::*)() const, void (Store::*)(const bool &)>;
    for (const Flag &f : {Flag{&Store::busy, &Store::setBusy}, Flag{&Store::loadingTeam, &Store::setLoadingTeam},
                          Flag{&Store::refreshingLimits, &Store::setRefreshingLimits},
                          Flag{&Store::loadingMembers, &Store::setLoadingMembers}}) {
        if ((this->*f.first)())
            (this->*f.second)(false);
    }
    m_home->setLoading(false);
    m_stats->setLoading(false);
    m_activity->setLoading(false);
    // How old the shown data is belongs to the session that showed it.
    if (m_serverLost)
        setServerLost(false);
    if (m_dataAt != 0)
        setDataAt(0);
    if (m_authExpired)
        setAuthExpired(false);
    return m_generation;
}

void Store::startAutoRefresh()
{
    refreshHome();
    if (isAdmin()) {
        loadTeam();
        loadAlerts();
    }
    // (Re)start the one loop; a pass stops it once the phase has left the platform.
    m_refreshTimer->start();
}

bool Store::refreshLoopActive() const
{
    return m_refreshTimer->isActive();
}

void Store::flash(const QString &message)
{
    setToast(message);
    QTimer::singleShot(m_deps.toastMs, this, [this, message] {
        if (m_toast == message)
            setToast(QString());
    });
}

void Store::setSidebarCollapsed(bool v)
{
    if (v == m_sidebarCollapsed)
        return;
    m_sidebarCollapsed = v;
    Q_EMIT sidebarCollapsedChanged();
    m_settings->setValue(kSidebarKey, m_sidebarCollapsed);
    m_settings->sync();
}

void Store::reload()
{
    if (m_phase != Phase::Platform)
        return;
    refreshHome();
    if (isAdmin())
        loadTeam();
}

#include "app/shell.h"

#include "store/store.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <QSet>
#include <QVariantMap>
#include <algorithm>

namespace shell {

namespace {
const QString kAdmin = QStringLiteral("admin");
constexpr int kPanelAccounts = 4;
} // namespace

const QList<NavItem> &allNavItems()
{
    static const QList<NavItem> items{
        {QStringLiteral("dashboard"), QStringLiteral("Дашборд"), QStringLiteral("square.grid.2x2")},
        {QStringLiteral("accounts"), QStringLiteral("AI ресурсы"), QString()},
        {QStringLiteral("stats"), QStringLiteral("Статистика"), QStringLiteral("chart.line.uptrend.xyaxis")},
        {QStringLiteral("activity"), QStringLiteral("Активность"), QStringLiteral("waveform.path.ecg")},
        {QStringLiteral("team"), QStringLiteral("Команда"), QStringLiteral("person.2.fill")},
        {QStringLiteral("projects"), QStringLiteral("Проекты"), QStringLiteral("folder")},
        {QStringLiteral("tasks"), QStringLiteral("Задачи"), QStringLiteral("checklist")},
    };
    return items;
}

QList<NavItem> sidebarItems(const QString &role)
{
    const bool admin = role == kAdmin;
    QList<NavItem> out;
    for (const NavItem &item : allNavItems()) {
        const bool adminOnly = item.key == QLatin1String("stats") || item.key == QLatin1String("activity")
                            || item.key == QLatin1String("team");
        if (admin || !adminOnly)
            out.append(item);
    }
    return out;
}

QString roleLabel(const QString &role)
{
    return role == kAdmin ? QStringLiteral("администратор") : QStringLiteral("сотрудник");
}

QString navTitle(const QString &key)
{
    for (const NavItem &item : allNavItems())
        if (item.key == key)
            return item.title;
    return QString();
}

QStringList projects(bool isAdmin, const QList<TeamAcct> &team, const QList<Acct> &own)
{
    QStringList names;
    QSet<QString> seen;
    auto add = [&](const QString &name) {
        if (name.isEmpty() || seen.contains(name))
            return;
        seen.insert(name);
        names.append(name);
    };
    if (isAdmin) {
        for (const TeamAcct &a : team) {
            for (const LiveSession &s : a.liveSessions)
                add(s.project);
            for (const Device &d : a.devices)
                add(d.project);
        }
    } else {
        for (const Acct &a : own)
            add(a.project);
    }
    // QString's operator< compares UTF-16 code units: plain, not locale-aware.
    std::sort(names.begin(), names.end());
    return names;
}

QString panelCase(Store::Phase phase, int accountCount)
{
    if (phase != Store::Phase::Platform)
        return QStringLiteral("signin");
    if (accountCount == 0)
        return QStringLiteral("empty");
    return QStringLiteral("accounts");
}

QString panelText(const QString &panelCase, bool telemetryOk, bool serverLost)
{
    if (panelCase == QLatin1String("signin"))
        return QStringLiteral("Войди в приложение, чтобы видеть лимиты.");
    // No limits from a server that does not answer is not "no limits".
    if (panelCase == QLatin1String("empty") && serverLost)
        return QStringLiteral("Нет связи с сервером.");
    if (panelCase == QLatin1String("empty"))
        return telemetryOk ? QStringLiteral("Нет активных лимитов.")
                           : QStringLiteral("Телеметрия не активна — запусти Claude Code.");
    return QString();
}

QList<Acct> panelAccounts(const QList<Acct> &accounts)
{
    return accounts.mid(0, kPanelAccounts);
}

bool showTeamRow(const QString &role, int teamWithTelemetry)
{
    return role == kAdmin && teamWithTelemetry != 0;
}

QString teamRatio(int online, int withTelemetry)
{
    return QStringLiteral("%1/%2").arg(online).arg(withTelemetry);
}

QString rootView(Store::Phase phase)
{
    switch (phase) {
    case Store::Phase::ChangePassword: return QStringLiteral("session/ChangePasswordView");
    case Store::Phase::Onboarding: return QStringLiteral("session/OnboardingView");
    case Store::Phase::Platform: return QStringLiteral("PlatformView");
    case Store::Phase::Auth: break;
    }
    return QStringLiteral("session/AuthView");
}

QString sectionView(Store::Nav nav, bool showProfile)
{
    if (showProfile)
        return QStringLiteral("profile/ProfileView");
    switch (nav) {
    case Store::Nav::Accounts: return QStringLiteral("team/AccountsView");
    case Store::Nav::Stats: return QStringLiteral("stats/StatsView");
    case Store::Nav::Activity: return QStringLiteral("activity/ActivityView");
    case Store::Nav::Team: return QStringLiteral("members/TeamView");
    case Store::Nav::Projects: return QStringLiteral("shell/ProjectsView");
    case Store::Nav::Tasks: return QStringLiteral("shell/TasksView");
    case Store::Nav::Dashboard: break;
    }
    return QStringLiteral("home/DashboardView");
}

} // namespace shell

namespace {
QPointer<Shell> g_shell;
} // namespace

Shell::Shell(Store *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    if (!store)
        return;
    connect(store, &Store::roleChanged, this, &Shell::roleChanged);
    for (auto sig : {&Store::roleChanged, &Store::teamAccountsChanged})
        connect(store, sig, this, &Shell::projectsChanged);
    connect(store->home(), &HomeState::accountsChanged, this, &Shell::projectsChanged);
    for (auto sig : {&Store::phaseChanged, &Store::serverLostChanged})
        connect(store, sig, this, &Shell::panelChanged);
    for (auto sig : {&HomeState::accountsChanged, &HomeState::telemetryOkChanged})
        connect(store->home(), sig, this, &Shell::panelChanged);
    for (auto sig : {&Store::roleChanged, &Store::teamAccountsChanged})
        connect(store, sig, this, &Shell::teamRowChanged);
    connect(store, &Store::phaseChanged, this, &Shell::rootViewChanged);
    connect(store, &Store::navChanged, this, &Shell::sectionViewChanged);
    connect(store, &Store::showProfileChanged, this, &Shell::sectionViewChanged);
}

void Shell::setInstance(Shell *shell) { g_shell = shell; }
Shell *Shell::instance() { return g_shell; }

Shell *Shell::create(QQmlEngine *engine, QJSEngine *)
{
    if (Shell *s = g_shell) {
        QJSEngine::setObjectOwnership(s, QJSEngine::CppOwnership);
        return s;
    }
    return new Shell(Store::instance(), engine);
}

QVariantList Shell::sidebarItems() const
{
    QVariantList out;
    if (!m_store)
        return out;
    for (const shell::NavItem &item : shell::sidebarItems(m_store->role()))
        out.append(QVariantMap{{QStringLiteral("key"), item.key},
                               {QStringLiteral("title"), item.title},
                               {QStringLiteral("icon"), item.icon}});
    return out;
}

QString Shell::roleLabel() const
{
    return shell::roleLabel(m_store ? m_store->role() : QString());
}

QStringList Shell::projects() const
{
    if (!m_store)
        return {};
    return shell::projects(m_store->isAdmin(), m_store->teamAccounts(), m_store->home()->accounts());
}

QString Shell::panelCase() const
{
    if (!m_store)
        return shell::panelCase(Store::Phase::Auth, 0);
    return shell::panelCase(m_store->phase(), int(m_store->home()->accounts().size()));
}

QString Shell::panelText() const
{
    return shell::panelText(panelCase(), m_store && m_store->home()->telemetryOk(), m_store && m_store->serverLost());
}

QVariantList Shell::panelAccounts() const
{
    if (!m_store || panelCase() != QLatin1String("accounts"))
        return {};
    return toVariantList(shell::panelAccounts(m_store->home()->accounts()));
}

bool Shell::showTeamRow() const
{
    return m_store && shell::showTeamRow(m_store->role(), m_store->teamWithTelemetry());
}

QString Shell::teamRatio() const
{
    return m_store ? shell::teamRatio(m_store->teamOnline(), m_store->teamWithTelemetry()) : QString();
}

QString Shell::rootView() const
{
    return shell::rootView(m_store ? m_store->phase() : Store::Phase::Auth);
}

QString Shell::sectionView() const
{
    if (!m_store)
        return shell::sectionView(Store::Nav::Dashboard, false);
    return shell::sectionView(m_store->nav(), m_store->showProfile());
}

bool Shell::rootShown()
{
    if (!m_store || !m_store->token().isEmpty() || m_store->phase() != Store::Phase::Auth)
        return false;
    m_store->bootstrap();
    return true;
}

void Shell::selectSection(const QString &key)
{
    if (!m_store)
        return;
    m_store->setShowProfile(false);
    m_store->setNavByName(key);
}

void Shell::refreshProjects()
{
    if (m_store && m_store->isAdmin())
        m_store->loadTeam();
}

#pragma once
// Store: the one object that holds everything the client knows and every operation it can
// perform. Both scenes observe the same instance. All fields live on the main thread; loads
// start asynchronously and assign their results when the answer arrives.

#include "core/records.h"
#include "core/teamacct.h"
#include "net/answer.h"
#include "net/http.h"
#include "store/activitystate.h"
#include "store/fields.h"
#include "store/homestate.h"
#include "store/profilestate.h"
#include "store/resourcesstate.h"
#include "store/rosterstate.h"
#include "store/statsstate.h"

#include <QHash>
#include <QImage>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <memory>
#include <optional>

class QQmlEngine;
class QJSEngine;
class QSettings;
class SecretStore;
class InstallRunner;

struct SetupStep {
    Q_GADGET
    Q_PROPERTY(QString label MEMBER label)
    Q_PROPERTY(bool done MEMBER done)
public:
    QString label;
    bool done = false;
};
Q_DECLARE_METATYPE(SetupStep)

// Picks one image file for the photo uploads; the real one shows a file dialog, tests replace it.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // Calls `done` with the chosen local file path, or an empty string when cancelled.
    virtual void chooseImage(std::function<void(const QString &path)> done) = 0;
};

// What Store needs from its surroundings; tests replace each piece.
struct StoreDeps {
    SecretStore *secrets = nullptr;   // not owned; null = the platform's store, chosen at start-up
    FileChooser *chooser = nullptr;   // not owned; null = photo uploads do nothing
    QString settingsFile;             // empty = the user's preference store
    QString home;                     // empty = the user's home directory
    QString bash;                     // empty = /bin/bash
    int secretsBoundMs = 4000;        // the whole start-up read of the saved session
    int httpTimeoutMs = 60000;
    int refreshIntervalMs = 30000;
    int toastMs = 2500;
    int handoverMs = 900;
};

// Tickets of one kind of load: only the answer to the newest request is applied, so a slow
// answer never overwrites a newer one (a reload after a write, a scope the user has moved on from).
class NewestLoad {
public:
    quint64 take() { return ++m_last; }
    bool isNewest(quint64 ticket) const { return ticket == m_last; }

private:
    quint64 m_last = 0;
};

class Store : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    enum class Phase { Auth, ChangePassword, Onboarding, Platform };
    Q_ENUM(Phase)
    enum class Nav { Dashboard, Accounts, Stats, Activity, Team, Projects, Tasks };
    Q_ENUM(Nav)

    // Field table, in declaration order.
    CV_FIELD(Phase, phase, Phase, Phase::Auth)
    CV_FIELD(Nav, nav, Nav, Nav::Dashboard)
    CV_FIELD(QString, login, Login)
    CV_FIELD(QString, name, Name)
    CV_FIELD(QString, token, Token)
    CV_FIELD(QString, session, Session)
    CV_FIELD(QString, role, Role, QStringLiteral("viewer"))
    CV_FIELD(QString, serverUrl, ServerUrl)
    CV_FIELD(bool, busy, Busy, false)
    CV_FIELD(bool, restoring, Restoring, false)        // start-up is reading the saved session
    CV_FIELD(QString, error, Error)
    CV_LIST(SetupStep, steps, Steps)
    CV_FIELD(QString, installLog, InstallLog)
    CV_FIELD(bool, installDone, InstallDone, false)
    CV_LIST(TeamAcct, teamAccounts, TeamAccounts)
    CV_FIELD(bool, loadingTeam, LoadingTeam, false)
    CV_FIELD(bool, refreshingLimits, RefreshingLimits, false)
    CV_FIELD(QString, toast, Toast)
    CV_FIELD(bool, authExpired, AuthExpired, false)
    // Each screen's fields in one object: the dashboard's, the own profile's, the statistics',
    // the activity's, and the screen state of the AI resources table and of the team roster.
    Q_PROPERTY(HomeState *home READ home CONSTANT)
    Q_PROPERTY(ProfileState *profile READ profile CONSTANT)
    Q_PROPERTY(StatsState *stats READ stats CONSTANT)
    Q_PROPERTY(ActivityState *activity READ activity CONSTANT)
    Q_PROPERTY(ResourcesState *resources READ resources CONSTANT)
    Q_PROPERTY(RosterState *roster READ roster CONSTANT)
    Q_PROPERTY(bool sidebarCollapsed READ sidebarCollapsed WRITE setSidebarCollapsed NOTIFY sidebarCollapsedChanged)
    CV_STATE(bool, showProfile, ShowProfile, false)
    Q_PROPERTY(int memberAvatarsRevision READ memberAvatarsRevision NOTIFY memberAvatarsChanged)
    CV_LIST(Member, members, Members)
    CV_FIELD(bool, loadingMembers, LoadingMembers, false)
    // The newest load got no usable answer (no connection, a time-out, a 5xx, not the server's
    // JSON): the screens keep what they showed and say how old it is.
    CV_FIELD(bool, serverLost, ServerLost, false)
    CV_FIELD(double, dataAt, DataAt, 0)   // when a load last brought data (Unix seconds); 0: never

    // Derived values.
    Q_PROPERTY(int teamOnline READ teamOnline NOTIFY teamAccountsChanged)
    Q_PROPERTY(int teamWithTelemetry READ teamWithTelemetry NOTIFY teamAccountsChanged)
    Q_PROPERTY(double totalCost READ totalCost NOTIFY teamAccountsChanged)
    Q_PROPERTY(int hotAccounts READ hotAccounts NOTIFY teamAccountsChanged)
    Q_PROPERTY(bool needsRelogin READ needsRelogin NOTIFY needsReloginChanged)
    // Authorised reads sent and not yet answered: a refresh button shows its load running with it.
    Q_PROPERTY(int loadsRunning READ loadsRunning NOTIFY loadsRunningChanged)
    Q_PROPERTY(QString initials READ initials NOTIFY initialsChanged)
    Q_PROPERTY(bool isAdmin READ isAdmin NOTIFY roleChanged)
    Q_PROPERTY(QString phaseName READ phaseName NOTIFY phaseChanged)
    Q_PROPERTY(QString navName READ navName NOTIFY navChanged)

public:
    explicit Store(QObject *parent, const StoreDeps &deps = {});
    ~Store() override;

    // The application's one instance, handed to QML by create().
    static void setInstance(Store *store);
    static Store *instance();
    static Store *create(QQmlEngine *, QJSEngine *);

    static QString navKey(Nav n);
    static std::optional<Nav> navFromKey(const QString &key);
    static QString phaseKey(Phase p);

    HomeState *home() const { return m_home; }
    ProfileState *profile() const { return m_profile; }
    StatsState *stats() const { return m_stats; }
    ActivityState *activity() const { return m_activity; }
    ResourcesState *resources() const { return m_resources; }
    RosterState *roster() const { return m_roster; }

    // Start-up, refresh loop, toast, preference.
    Q_INVOKABLE void bootstrap();
    Q_INVOKABLE void startAutoRefresh();
    Q_INVOKABLE void flash(const QString &message);
    bool sidebarCollapsed() const { return m_sidebarCollapsed; }
    void setSidebarCollapsed(bool v);
    bool refreshLoopActive() const;
    bool configExists() const;

    // Session.
    Q_INVOKABLE void signIn(const QString &login, const QString &password);
    Q_INVOKABLE void changePassword(const QString &newPassword, const QString &repeated);
    Q_INVOKABLE void logOut();
    const QString &pendingPassword() const { return m_pendingPassword; }

    // Home, alerts and team accounts.
    Q_INVOKABLE void refreshHome();
    Q_INVOKABLE void loadAlerts();
    // The alert list was shown: its unread events are marked read on the server, then here.
    Q_INVOKABLE void markAlertsRead();
    Q_INVOKABLE void loadTeam();
    Q_INVOKABLE void refreshLimits();
    // Assigns a decoded team list (main thread); the list it replaces is freed on a worker.
    void applyTeamAccounts(const QList<TeamAcct> &list);
    Q_INVOKABLE void reload();   // the tray panel's refresh
    static TeamAcct parseTeamAcct(const QJsonObject &o) { return ::parseTeamAcct(o); }
    int teamOnline() const;
    int teamWithTelemetry() const;
    double totalCost() const;
    int hotAccounts() const;
    bool needsRelogin() const;
    int loadsRunning() const { return m_loadsRunning; }
    bool isAdmin() const { return m_role == QLatin1String("admin"); }
    QString phaseName() const { return phaseKey(m_phase); }
    QString navName() const { return navKey(m_nav); }
    Q_INVOKABLE void setNavByName(const QString &key);

    // Machine set-up.
    Q_INVOKABLE void startOnboarding();
    void runShell(const QString &script, const QHash<QString, QString> &environment = {});

    // Own profile and photos (read side).
    Q_INVOKABLE void loadMe();
    void fetchMemberAvatar(const QString &id, double version, bool hasAvatar, bool isSelf);
    Q_INVOKABLE void ensureMemberAvatar(const QVariant &member);
    void ensureMemberAvatar(const Member &m);
    QString initials() const;
    const QHash<QString, QImage> &memberAvatars() const { return m_memberAvatars; }
    QImage memberAvatar(const QString &id) const { return m_memberAvatars.value(id); }
    Q_INVOKABLE bool hasMemberAvatar(const QString &id) const { return m_memberAvatars.contains(id); }
    int memberAvatarsRevision() const { return m_memberAvatarsRevision; }
    const QHash<QString, double> &avatarVersions() const { return m_avatarVersions; }

    // ---- Team data and administration: stats.cpp, activity.cpp, breakdown.cpp, members.cpp,
    // ---- profile_write.cpp, registry.cpp. Asynchronous results reach C++ callers through the
    // ---- callback and QML callers through the matching ...Done signal.
    using BoolFn = std::function<void(bool)>;
    Q_INVOKABLE void loadStats();
    // The field's own setter only assigns; this one reloads when the scope really changes.
    Q_INVOKABLE void setStatScopeAndLoad(Stat::Scope scope);
    Q_INVOKABLE void loadActivity();
    Q_INVOKABLE void setActRangeAndLoad(int days);
    struct BreakdownResult { QList<BreakdownRow> rows; double residualPct = 0, observedPct = 0, resetsAt = 0; bool ok = true; };
    void fetchBreakdown(const QString &provider, const QString &email, const QString &scope,
                        QObject *context, std::function<void(const BreakdownResult &)> done);
    Q_INVOKABLE void loadMembers();
    void createMember(const QString &name, const QString &login, const QString &role,
                      const QVariantMap &profile, BoolFn done);
    Q_INVOKABLE void createMember(const QString &name, const QString &login, const QString &role,
                                  const QVariantMap &profile) { createMember(name, login, role, profile, BoolFn{}); }
    void updateMember(const QString &id, const QVariantMap &fields, BoolFn done);
    Q_INVOKABLE void updateMember(const QString &id, const QVariantMap &fields) { updateMember(id, fields, BoolFn{}); }
    Q_INVOKABLE void memberAction(const QString &action, const QString &id, const QVariantMap &extra = {});
    Q_INVOKABLE void deleteMember(const QString &id);
    Q_INVOKABLE static QString memberSecretMessage(bool created, const QString &login,
                                                   const QString &password, const QString &serverUrl);
    void updateMe(const QVariantMap &fields, BoolFn done);
    Q_INVOKABLE void updateMe(const QVariantMap &fields) { updateMe(fields, BoolFn{}); }
    void changeMyPassword(const QString &current, const QString &newPassword, const QString &confirm, BoolFn done);
    Q_INVOKABLE void changeMyPassword(const QString &current, const QString &newPassword, const QString &confirm)
    { changeMyPassword(current, newPassword, confirm, BoolFn{}); }
    void pickPNG(std::function<void(const std::optional<QByteArray> &)> done);
    Q_INVOKABLE void pickAvatar();
    Q_INVOKABLE void pickMemberAvatar(const QString &id);
    // A photo as the server sent it: PNG or JPEG only, at most 4 MiB and 1024 x 1024 px; anything
    // else is no photo (a null image).
    static QImage serverPhoto(const QByteArray &data);
    // The photo pipeline: at most 256 px on the longer side, never enlarged, RGBA PNG.
    static std::optional<QByteArray> avatarPng(const QImage &image);
    void saveAccount(const QVariantMap &body, BoolFn done);
    Q_INVOKABLE void saveAccount(const QVariantMap &body) { saveAccount(body, BoolFn{}); }
    Q_INVOKABLE void deleteAccount(const QString &provider, const QString &email);

    // Request layer: serverUrl + path, bearer = session, else token.
    using ReplyFn = std::function<void(const HttpReply &)>;
    void post(const QString &path, const QJsonObject &body, ReplyFn done);
    void getStatus(const QString &path, ReplyFn done);
    void postAuthedStatus(const QString &path, const QJsonObject &body, ReplyFn done);
    void deleteAuthed(const QString &path, ReplyFn done);
    // A load of a list that is polled: it names the tag of the answer now shown (keepTag), and a
    // 304 comes back as answer::Verdict::Unchanged, so nothing is sent or decoded again when
    // nothing changed. A 304 to a load that named no tag is a failure.
    void getKept(const QString &path, ReplyFn done, bool parseJson = true);
    // Noted once an answer of `path` is what the screens show; `json` is kept too for an answer
    // that is decoded again whole (statistics, published with the answers beside it).
    void keepTag(const QString &path, const QByteArray &tag, const QJsonObject &json = {});
    // Dropped whenever the shown data is changed or cleared by anything but that load.
    void forgetTag(const QString &path) { m_tags.remove(path); m_keptJson.remove(path); }
    void getData(const QString &path, std::function<void(const std::optional<QByteArray> &)> done);
    Http *http() const { return m_http; }

    SecretStore *secrets() const { return m_secrets; }
    // Raised by every sign-in, sign-out and restore. A request remembers it when sent; an answer
    // that comes back under another value belongs to a session that is over and is dropped.
    quint64 generation() const { return m_generation; }
    const StoreDeps &deps() const { return m_deps; }

Q_SIGNALS:
    void sidebarCollapsedChanged();
    void memberAvatarsChanged();
    void needsReloginChanged();
    void initialsChanged();
    void createMemberDone(bool ok);
    void updateMemberDone(bool ok);
    void updateMeDone(bool ok);
    void changeMyPasswordDone(bool ok);
    void saveAccountDone(bool ok);
    // A pass of the refresh loop ran (tests and benchmarks watch it).
    void refreshPass();
    void loadsRunningChanged();

private:
    void setMemberAvatar(const QString &id, const QImage &img);
    void removeMemberAvatar(const QString &id);
    void clearAdminData();
    quint64 beginSession();
    void restore(const QHash<QString, std::optional<QString>> &saved);
    ReplyFn inSession(ReplyFn done) const;
    // Counts the read as running until its answer (or failure) comes back, whichever session's.
    ReplyFn counted(ReplyFn done);
    // Sorts a load's answer and applies what every load shares: the server marked lost or
    // answering, the session expired on a 401, an administrator's data dropped on a 403.
    // The caller publishes only on Ok and otherwise keeps what it showed.
    answer::Verdict loaded(const HttpReply &r);
    void onInstallOutput(const QString &text);
    void onInstallFinished(int status);

    StoreDeps m_deps;
    HomeState *m_home;
    ProfileState *m_profile;
    StatsState *m_stats;
    ActivityState *m_activity;
    ResourcesState *m_resources;
    RosterState *m_roster;
    std::unique_ptr<SecretStore> m_ownedSecrets;
    SecretStore *m_secrets = nullptr;
    Http *m_http = nullptr;
    int m_loadsRunning = 0;
    QSettings *m_settings = nullptr;
    QTimer *m_refreshTimer = nullptr;
    InstallRunner *m_installer = nullptr;

    QString m_pendingPassword;
    bool m_sidebarCollapsed = false;
    QHash<QString, QImage> m_memberAvatars;
    int m_memberAvatarsRevision = 0;
    QHash<QString, double> m_avatarVersions;

    quint64 m_generation = 0;
    NewestLoad m_teamLoads, m_membersLoads, m_statsLoads, m_activityLoads;
    QHash<QString, QByteArray> m_tags;     // path → tag of the answer the screens show
    QHash<QString, QJsonObject> m_keptJson; // path → that answer, where it is decoded again
};

// Sign-in, the first-login password change and sign-out.
#include "store/store.h"

#include "core/json.h"
#include "core/text.h"
#include "net/endpoint.h"
#include "net/secretstore.h"

void Store::signIn(const QString &loginText, const QString &password)
{
    const QString trimmed = text::trimSpacesTabs(loginText);
    if (trimmed.isEmpty() || password.isEmpty()) {
        setError(QStringLiteral("Введи логин и пароль."));
        return;
    }
    // A new session begins: answers still due to the previous one, and a start-up still reading
    // the saved session, are dropped from here on.
    beginSession();
    setBusy(true);
    setError(QString());
    m_pendingPassword = password;

    const QJsonObject body{{QStringLiteral("login"), trimmed}, {QStringLiteral("password"), password}};
    post(QStringLiteral("/api/provision"), body, [this, trimmed](const HttpReply &r) {
        if (!r.ok) {
            setBusy(false);
            setError(r.error);
            return;
        }
        const QJsonObject &a = r.json;
        const QJsonValue session = a.value(QStringLiteral("session"));
        // A token or session holding control characters could never be sent as a header: every
        // later request would fail without a word. Refused here, before anything is saved.
        const bool accepted = json::looseFlag(a.value(QStringLiteral("ok"))) && a.value(QStringLiteral("token")).isString()
            && isSafeCredential(a.value(QStringLiteral("token")).toString())
            && (!session.isString() || isSafeCredential(session.toString()));
        if (!accepted) {
            setBusy(false);
            setError(a.value(QStringLiteral("error")).toString() == QLatin1String("invalid_credentials")
                         ? QStringLiteral("Неверный логин или пароль.")
                         : QStringLiteral("Сервер отклонил вход."));
            return;
        }
        const QString token = a.value(QStringLiteral("token")).toString();
        setLogin(trimmed);
        setToken(token);
        setName(json::text(a.value(QStringLiteral("name")), trimmed));
        setServerUrl(json::text(a.value(QStringLiteral("url")), endpoint::serverUrl()));
        setRole(json::text(a.value(QStringLiteral("role")), QStringLiteral("viewer")));
        setSession(json::text(a.value(QStringLiteral("session")), QString()));
        // A viewer must never see what an administrator signed in before them had loaded.
        if (!isAdmin())
            clearAdminData();

        Keychain::set(*m_secrets, QStringLiteral("token"), token);
        Keychain::set(*m_secrets, QStringLiteral("login"), trimmed);
        Keychain::set(*m_secrets, QStringLiteral("name"), m_name);
        Keychain::set(*m_secrets, QStringLiteral("url"), m_serverUrl);
        Keychain::set(*m_secrets, QStringLiteral("role"), m_role);
        Keychain::set(*m_secrets, QStringLiteral("session"), m_session);

        loadMe();
        setBusy(false);
        if (json::looseFlag(a.value(QStringLiteral("must_change")))) {
            setPhase(Phase::ChangePassword);
            return;
        }
        startOnboarding();
    });
}

void Store::changePassword(const QString &newPassword, const QString &repeated)
{
    if (text::graphemeCount(newPassword) < 8) {
        setError(QStringLiteral("Минимум 8 символов."));
        return;
    }
    if (newPassword != repeated) {
        setError(QStringLiteral("Пароли не совпадают."));
        return;
    }
    setBusy(true);
    setError(QString());
    const QJsonObject body{{QStringLiteral("login"), m_login},
                           {QStringLiteral("current_password"), m_pendingPassword},
                           {QStringLiteral("new_password"), newPassword}};
    post(QStringLiteral("/api/member/change-password"), body, [this, newPassword](const HttpReply &r) {
        if (!r.ok) {
            setBusy(false);
            setError(r.error);
            return;
        }
        if (!json::looseFlag(r.json.value(QStringLiteral("ok")))) {
            setBusy(false);
            setError(QStringLiteral("Не удалось сменить пароль."));
            return;
        }
        m_pendingPassword = newPassword;
        setBusy(false);
        startOnboarding();
    });
}

void Store::logOut()
{
    beginSession();
    m_refreshTimer->stop();
    Keychain::clear(*m_secrets);
    setToken(QString());
    m_home->setAccounts({});
    m_home->setTelemetryOk(false);
    m_home->setLastSeen(0);
    // The next user of this machine starts from nothing of this session: not even the profile,
    // the photo or the team's photos of the last one.
    m_profile->clear();
    if (!m_memberAvatars.isEmpty()) {
        m_memberAvatars.clear();
        m_avatarVersions.clear();
        ++m_memberAvatarsRevision;
        Q_EMIT memberAvatarsChanged();
    }
    clearAdminData();
    setPhase(Phase::Auth);
}

void Store::clearAdminData()
{
    m_tags.clear();
    m_keptJson.clear();
    if (!m_teamAccounts.isEmpty())
        setTeamAccounts({});
    if (!m_members.isEmpty())
        setMembers({});
    if (!m_home->alerts().isEmpty())
        m_home->setAlerts({});
    if (m_home->alertsUnread() != 0)
        m_home->setAlertsUnread(0);
    m_stats->clear();
    if (!m_activity->people().isEmpty())
        m_activity->setPeople({});
    // The next session sees the administration screens as a new one would: no filter, search, sort,
    // open row or form left by this one, and no credential it was shown.
    m_resources->reset();
    m_roster->reset();
}

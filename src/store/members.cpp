// The team roster and its writes: create, update, enable/disable, reset password, delete.
#include "store/store.h"

#include "core/decode.h"
#include "store/writes.h"

namespace {
const QString kMembers = QStringLiteral("/api/members");
} // namespace

void Store::loadMembers()
{
    if (!isAdmin())
        return;
    setLoadingMembers(m_members.isEmpty());
    // Only the newest load applies (a reload after a write is never overwritten by an older one).
    const quint64 ticket = m_membersLoads.take();
    getKept(kMembers, [this, ticket](const HttpReply &r) {
        // The session may have passed to a non-administrator meanwhile: the roster is not theirs.
        if (!isAdmin()) {
            setLoadingMembers(false);
            return;
        }
        if (!m_membersLoads.isNewest(ticket))
            return;
        if (loaded(r) == answer::Verdict::Ok) {
            setMembers(decode::members(r.json));
            keepTag(kMembers, r.etag);
        }
        setLoadingMembers(false);
    });
}

void Store::createMember(const QString &name, const QString &login, const QString &role,
                         const QVariantMap &profile, BoolFn done)
{
    const QJsonObject body = writes::merged({{QStringLiteral("action"), QStringLiteral("create")},
                                             {QStringLiteral("name"), name},
                                             {QStringLiteral("login"), login},
                                             {QStringLiteral("role"), role}},
                                            profile);
    postAuthedStatus(kMembers, body, [this, login, done](const HttpReply &r) {
        auto finish = [this, &done](bool ok) {
            if (done)
                done(ok);
            Q_EMIT createMemberDone(ok);
        };
        if (!writes::settle(*this, writes::outcome(writes::Write::CreateMember, r)))
            return finish(false);
        const QJsonValue l = r.json.value(QLatin1String("login"));
        const QJsonValue p = r.json.value(QLatin1String("password"));
        m_roster->setSecret({{QStringLiteral("title"), QStringLiteral("Сотрудник создан")},
                         {QStringLiteral("login"), l.isString() ? l.toString() : login},
                         {QStringLiteral("password"), p.isString() ? p.toString() : QString()},
                         {QStringLiteral("created"), true}});
        loadMembers();
        finish(true);
    });
}

void Store::updateMember(const QString &id, const QVariantMap &fields, BoolFn done)
{
    const QJsonObject body = writes::merged(
        {{QStringLiteral("action"), QStringLiteral("update")}, {QStringLiteral("id"), id}}, fields);
    postAuthedStatus(kMembers, body, [this, done](const HttpReply &r) {
        auto finish = [this, &done](bool ok) {
            if (done)
                done(ok);
            Q_EMIT updateMemberDone(ok);
        };
        if (!writes::settle(*this, writes::outcome(writes::Write::UpdateMember, r)))
            return finish(false);
        loadMembers();
        finish(true);
    });
}

void Store::memberAction(const QString &action, const QString &id, const QVariantMap &extra)
{
    const QJsonObject body = writes::merged({{QStringLiteral("action"), action}, {QStringLiteral("id"), id}}, extra);
    postAuthedStatus(kMembers, body, [this, action, id](const HttpReply &r) {
        const bool reset = action == QLatin1String("reset_password");
        if (writes::settle(*this, writes::outcome(reset ? writes::Write::ResetPassword : writes::Write::MemberAction, r))) {
            const QJsonValue p = r.json.value(QLatin1String("password"));
            if (reset && p.isString())
                m_roster->setSecret({{QStringLiteral("title"), QStringLiteral("Новый пароль")},
                                 {QStringLiteral("login"), id},
                                 {QStringLiteral("password"), p.toString()},
                                 {QStringLiteral("created"), false}});
        }
        // The roster then shows the member as the server has it, whatever happened.
        loadMembers();
    });
}

void Store::deleteMember(const QString &id)
{
    deleteAuthed(kMembers + QStringLiteral("?id=") + writes::queryValue(id), [this](const HttpReply &r) {
        if (writes::settle(*this, writes::outcome(writes::Write::DeleteMember, r)))
            loadMembers();
    });
}

QString Store::memberSecretMessage(bool created, const QString &login, const QString &password,
                                   const QString &serverUrl)
{
    if (created)
        return QStringLiteral("Доступ к Corvane Studio\n\n1. Скачай приложение:\n   ") + serverUrl
            + QStringLiteral("/\n2. Установи и открой.\n3. Войди:\n   логин: ") + login
            + QStringLiteral("\n   пароль: ") + password
            + QStringLiteral("\n\nПри первом входе приложение само всё настроит\n(статуслайн, лимиты, телеметрия).");
    return QStringLiteral("Новый пароль для Corvane Studio\n\nЛогин: ") + login + QStringLiteral("\nПароль: ")
        + password + QStringLiteral("\n\nОткрой приложение и войди заново.");
}

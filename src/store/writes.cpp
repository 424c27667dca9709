// The outcome rule of every write: success, the toast, and when a 401 marks the session expired.
#include "store/writes.h"

#include "core/json.h"

namespace writes {

namespace {
bool is2xx(const HttpReply &r) { return r.ok && r.status >= 200 && r.status <= 299; }
const QString kSaved = QStringLiteral("Сохранено ✓");
const QString kNetwork = QStringLiteral("Ошибка сети");
const QString kNotDeleted = QStringLiteral("Не удалось удалить");
} // namespace

Outcome outcome(Write w, const HttpReply &r)
{
    switch (w) {
    case Write::CreateMember:
    case Write::UpdateMember:
    case Write::UpdateMe:
        // A transport failure is silent; the caller shows the credential after a create.
        if (!r.ok)
            return {};
        if (r.status == 401)
            return {false, true, {}};
        if (!succeeded(r))
            return {false, false, refusal(r)};
        return {true, false, w == Write::CreateMember ? QString() : kSaved};
    case Write::MemberAction:
    case Write::ResetPassword:
        // "Готово" only for an action the server carried out; a refusal is reported as such.
        if (!r.ok)
            return {false, false, kNetwork};
        if (r.status == 401)
            return {false, true, sessionExpired()};
        if (!succeeded(r))
            return {false, false, refusal(r)};
        // A new password is shown as a credential, not as a toast.
        if (w == Write::ResetPassword && r.json.value(QLatin1String("password")).isString())
            return {true, false, {}};
        return {true, false, QStringLiteral("Готово")};
    case Write::DeleteMember:
        return is2xx(r) ? Outcome{true, false, QStringLiteral("Сотрудник удалён")} : Outcome{false, false, kNotDeleted};
    case Write::ChangeMyPassword:
        // The status is not read: the server's "ok" alone says whether the password changed.
        if (r.ok && json::flag(r.json.value(QLatin1String("ok"))))
            return {true, false, QStringLiteral("Пароль изменён")};
        return {false, false, QStringLiteral("Не удалось сменить пароль (проверь текущий)")};
    case Write::AvatarUpload:
        if (r.ok && r.status == 401)
            return {false, true, sessionExpired()};
        if (!r.ok || !succeeded(r))
            return {false, false, QStringLiteral("Не удалось загрузить фото")};
        return {true, false, QStringLiteral("Фото обновлено")};
    case Write::SaveAccount: {
        if (!r.ok)
            return {false, false, kNetwork};
        if (r.status == 401)
            return {false, true, sessionExpired()};
        if (succeeded(r))
            return {true, false, kSaved};
        QString msg = QStringLiteral("Ошибка сохранения (код %1)").arg(r.status);
        const QJsonValue e = r.json.value(QLatin1String("error"));
        if (e.isString())
            msg += QStringLiteral(": ") + e.toString();
        return {false, false, msg};
    }
    case Write::DeleteAccount:
        if (r.ok && r.status == 401)
            return {false, true, {}};
        return is2xx(r) ? Outcome{true, false, QStringLiteral("Удалено")} : Outcome{false, false, kNotDeleted};
    }
    return {};
}

} // namespace writes

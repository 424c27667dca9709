// The outcome rule of every write: success, the toast, and when a 401 marks the session expired.
#include "store/writes.h"

namespace writes {

namespace {
const QString kNetwork = QStringLiteral("Ошибка сети");

// What the user is told when the server refused without a text of its own.
QString fallbackOf(Write w, const HttpReply &r)
{
    switch (w) {
    case Write::DeleteMember:
    case Write::DeleteAccount:
        return QStringLiteral("Не удалось удалить");
    case Write::ChangeMyPassword:
        return QStringLiteral("Не удалось сменить пароль (проверь текущий)");
    case Write::AvatarUpload:
        return QStringLiteral("Не удалось загрузить фото");
    case Write::RefreshLimits:
        return QStringLiteral("Не удалось обновить лимиты");
    case Write::MarkAlertsRead:
        return QStringLiteral("Не удалось отметить алерты прочитанными");
    case Write::SaveAccount:
        return QStringLiteral("Ошибка сохранения (код %1)").arg(r.status);
    default:
        return QStringLiteral("Ошибка");
    }
}

QString doneText(Write w, const HttpReply &r)
{
    switch (w) {
    case Write::CreateMember:
    case Write::RefreshLimits:
    case Write::MarkAlertsRead:
        return {}; // the credential sheet, the refreshed figures or the list itself say it
    case Write::ResetPassword:
        // A new password is shown as a credential, not as a toast.
        if (r.json.value(QLatin1String("password")).isString())
            return {};
        return QStringLiteral("Готово");
    case Write::MemberAction:
        return QStringLiteral("Готово");
    case Write::DeleteMember:
        return QStringLiteral("Сотрудник удалён");
    case Write::DeleteAccount:
        return QStringLiteral("Удалено");
    case Write::ChangeMyPassword:
        return QStringLiteral("Пароль изменён");
    case Write::AvatarUpload:
        return QStringLiteral("Фото обновлено");
    default:
        return QStringLiteral("Сохранено ✓");
    }
}
} // namespace

Outcome outcome(Write w, const HttpReply &r)
{
    answer::Verdict v = answer::sort(r, answer::Kind::Write);
    // The own password change checks the current password and answers a wrong one with 401:
    // that is a refusal of what was typed, not the end of the session.
    if (w == Write::ChangeMyPassword && v == answer::Verdict::Expired)
        v = answer::Verdict::Failed;
    switch (v) {
    case answer::Verdict::Ok:
        return {true, false, doneText(w, r)};
    case answer::Verdict::Expired:
        return {false, true, sessionExpired()};
    case answer::Verdict::Refused:
    case answer::Verdict::Failed:
    case answer::Verdict::Unchanged: // never the answer to a write
        break;
    }
    if (!r.ok)
        return {false, false, kNetwork};
    // The password change's refusal is a code ("invalid_credentials"), not a sentence.
    if (w == Write::ChangeMyPassword)
        return {false, false, fallbackOf(w, r)};
    // The registry save names the status, and the server's reason after it.
    if (w == Write::SaveAccount) {
        const QString why = answer::errorText(r, QString());
        return {false, false, fallbackOf(w, r) + (why.isEmpty() ? QString() : QStringLiteral(": ") + why)};
    }
    return {false, false, answer::errorText(r, fallbackOf(w, r))};
}

} // namespace writes

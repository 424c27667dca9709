#pragma once
// Small rules shared by the administration writes.
#include "net/answer.h"
#include "net/http.h"
#include "store/store.h"

#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <QVariantMap>

namespace writes {

// A value for a query string: everything but the unreserved characters is encoded, so "&",
// "=", "+", spaces and non-ASCII letters reach the server as they were typed.
inline QString queryValue(const QString &s) { return QString::fromLatin1(QUrl::toPercentEncoding(s)); }

// Fixed keys first, then the caller's entries, which win where a key occurs in both.
inline QJsonObject merged(QJsonObject fixed, const QVariantMap &extra)
{
    const QJsonObject e = QJsonObject::fromVariantMap(extra);
    for (auto it = e.begin(); it != e.end(); ++it)
        fixed.insert(it.key(), it.value());
    return fixed;
}

inline const QString &sessionExpired()
{
    static const QString s = QStringLiteral("Сессия истекла — войди заново");
    return s;
}

// The writes, each with its own wording of the outcome.
enum class Write {
    CreateMember, UpdateMember, MemberAction, ResetPassword, DeleteMember,
    UpdateMe, ChangeMyPassword, AvatarUpload, SaveAccount, DeleteAccount, RefreshLimits, MarkAlertsRead,
};

// How a write ended for the user, decided from the answer alone.
struct Outcome {
    bool ok = false;      // the server took it
    bool expired = false; // the session is to be marked expired (a 401)
    QString toast;        // what the user is told; empty: nothing
    bool operator==(const Outcome &) const = default;
};

Outcome outcome(Write w, const HttpReply &r);

// Applies an outcome to the Store (expiry, toast) and hands back whether the write went through.
inline bool settle(Store &store, const Outcome &o)
{
    if (o.expired)
        store.setAuthExpired(true);
    if (!o.toast.isEmpty())
        store.flash(o.toast);
    return o.ok;
}

} // namespace writes

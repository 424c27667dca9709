// Who used an account's weekly (or monthly) limit.
#include "store/store.h"

#include "core/decode.h"

#include <QTimer>
#include <QUrl>

namespace {
QString enc(const QString &s) { return QString::fromLatin1(QUrl::toPercentEncoding(s)); }
} // namespace

void Store::fetchBreakdown(const QString &provider, const QString &email, const QString &scope,
                           QObject *context, std::function<void(const BreakdownResult &)> done)
{
    QPointer<QObject> ctx(context);
    const bool hasContext = context != nullptr;
    auto deliver = [ctx, hasContext, done = std::move(done)](const decode::Breakdown &b) {
        if ((hasContext && !ctx) || !done)
            return;
        done(BreakdownResult{b.rows, b.residualPct, b.observedPct, b.resetsAt});
    };

    // The breakdown names people; a non-administrator's session asks nothing and gets nothing.
    if (!isAdmin()) {
        QTimer::singleShot(0, this, [deliver] { deliver({}); });
        return;
    }
    // Every part is encoded: a provider or scope holding "&" must not add parameters of its own.
    const QString path = QStringLiteral("/api/accounts/breakdown?provider=") + enc(provider)
        + QStringLiteral("&email=") + enc(email) + QStringLiteral("&scope=") + enc(scope)
        + QStringLiteral("&metric=seven_day");
    // Whatever comes back (any status, no answer at all) decodes; a failure is an empty result.
    getStatus(path, [deliver](const HttpReply &r) { deliver(decode::breakdown(r.ok ? r.json : QJsonObject())); });
}

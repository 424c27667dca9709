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
    auto deliver = [ctx, hasContext, done = std::move(done)](const decode::Breakdown &b, bool ok = true) {
        if ((hasContext && !ctx) || !done)
            return;
        done(BreakdownResult{b.rows, b.residualPct, b.observedPct, b.resetsAt, ok});
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
    // Only the endpoint's own answer is data; anything else is a failure the block says as such
    // (and the answer rule raises the re-login banner or the lost-server mark as for any load).
    getStatus(path, [this, deliver](const HttpReply &r) {
        if (loaded(r) == answer::Verdict::Ok)
            deliver(decode::breakdown(r.json));
        else
            deliver({}, false);
    });
}

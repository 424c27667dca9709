// The account registry: save an entry, remove one; and the accounts panel's expanded rows.
#include "store/store.h"

#include "store/writes.h"

void Store::saveAccount(const QVariantMap &body, BoolFn done)
{
    postAuthedStatus(QStringLiteral("/api/registry"), QJsonObject::fromVariantMap(body), [this, done](const HttpReply &r) {
        auto finish = [this, &done](bool ok) {
            if (done)
                done(ok);
            Q_EMIT saveAccountDone(ok);
        };
        if (!writes::settle(*this, writes::outcome(writes::Write::SaveAccount, r)))
            return finish(false);
        loadTeam();
        finish(true);
    });
}

void Store::deleteAccount(const QString &provider, const QString &email)
{
    const QString path = QStringLiteral("/api/registry?provider=") + writes::queryValue(provider)
        + QStringLiteral("&email=") + writes::queryValue(email);
    deleteAuthed(path, [this](const HttpReply &r) {
        if (writes::settle(*this, writes::outcome(writes::Write::DeleteAccount, r)))
            loadTeam();
    });
}

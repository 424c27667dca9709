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
        if (!r.ok) {
            flash(QStringLiteral("Ошибка сети"));
            return finish(false);
        }
        if (r.status == 401) {
            setAuthExpired(true);
            flash(writes::sessionExpired());
            return finish(false);
        }
        if (writes::succeeded(r)) {
            flash(QStringLiteral("Сохранено ✓"));
            loadTeam();
            return finish(true);
        }
        QString msg = QStringLiteral("Ошибка сохранения (код %1)").arg(r.status);
        const QJsonValue e = r.json.value(QLatin1String("error"));
        if (e.isString())
            msg += QStringLiteral(": ") + e.toString();
        flash(msg);
        finish(false);
    });
}

void Store::deleteAccount(const QString &provider, const QString &email)
{
    const QString path = QStringLiteral("/api/registry?provider=") + writes::queryValue(provider)
        + QStringLiteral("&email=") + writes::queryValue(email);
    deleteAuthed(path, [this](const HttpReply &r) {
        if (r.ok && r.status == 401) {
            setAuthExpired(true);
            return;
        }
        if (r.ok && r.status >= 200 && r.status <= 299) {
            flash(QStringLiteral("Удалено"));
            loadTeam();
        } else {
            flash(QStringLiteral("Не удалось удалить"));
        }
    });
}

void Store::toggleExpanded(const QString &accountId)
{
    QStringList ids = m_expandedAccounts;
    if (ids.contains(accountId))
        ids.removeAll(accountId);
    else
        ids.append(accountId);
    setExpandedAccounts(ids);
}

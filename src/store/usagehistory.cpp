#include "store/usagehistory.h"

#include "core/clock.h"
#include "net/answer.h"
#include "store/store.h"

#include <QJsonArray>
#include <QUrl>

#include <cmath>

namespace {
QString enc(const QString &s) { return QString::fromLatin1(QUrl::toPercentEncoding(s)); }

// One window's points: [[ts, pct, resets_at], ...], oldest first. A malformed point or one not
// later than the point before it is left out; past the cap only the newest are kept.
QList<forecast::Point> points(const QJsonValue &window)
{
    const QJsonArray list = window.toObject().value(QLatin1String("points")).toArray();
    QList<forecast::Point> out;
    const qsizetype skip = std::max<qsizetype>(0, list.size() - UsageHistory::kMaxPoints);
    out.reserve(list.size() - skip);
    for (qsizetype i = skip; i < list.size(); ++i) {
        const QJsonArray p = list.at(i).toArray();
        if (p.size() < 2 || !p.at(0).isDouble() || !p.at(1).isDouble())
            continue;
        const forecast::Point q{p.at(0).toDouble(), p.at(1).toDouble(), p.at(2).toDouble()};
        if (!std::isfinite(q.t) || !std::isfinite(q.pct) || (!out.isEmpty() && q.t <= out.last().t))
            continue;
        out.append(q);
    }
    return out;
}
} // namespace

UsageHistory::UsageHistory(Store *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    if (!store)
        return;
    // Another member may sign in next: nothing of this one's accounts stays.
    connect(store, &Store::phaseChanged, this, [this] {
        if (m_store && m_store->phase() != Store::Phase::Platform)
            clear();
    });
}

QString UsageHistory::key(const QString &provider, const QString &email)
{
    return provider + QLatin1Char('\n') + email;
}

const UsageHistory::Entry *UsageHistory::entry(const QString &provider, const QString &email) const
{
    const auto it = m_entries.constFind(key(provider, email));
    return it != m_entries.cend() ? &*it : nullptr;
}

void UsageHistory::want(const QString &provider, const QString &email, int days)
{
    if (!m_store || provider.isEmpty() || email.isEmpty() || m_store->phase() != Store::Phase::Platform)
        return;
    const QString k = key(provider, email);
    Entry &e = m_entries[k];
    const double now = Clock::now();
    if (e.pending || (e.failed && now - e.askedAt < kRetry))
        return;
    if (!e.failed && e.at > 0 && e.days >= days && now - e.at < kFresh)
        return;
    e.pending = true;
    e.askedAt = now;
    days = std::max(days, e.days);
    const QString path = QStringLiteral("/api/accounts/history?provider=") + enc(provider) + QStringLiteral("&email=")
        + enc(email) + QStringLiteral("&days=") + QString::number(days);
    m_store->getStatus(path, [this, k, days](const HttpReply &r) { onHistory(k, days, r); });
}

void UsageHistory::onHistory(const QString &k, int days, const HttpReply &r)
{
    auto it = m_entries.find(k);
    if (it == m_entries.end())
        return; // cleared meanwhile
    Entry &e = *it;
    e.pending = false;
    Entry fresh;
    const answer::Verdict v = answer::sort(r, answer::Kind::Load);
    if (v == answer::Verdict::Ok && decodeHistory(r.json, fresh)) {
        e.five = std::move(fresh.five);
        e.seven = std::move(fresh.seven);
        e.days = days;
        e.at = Clock::now();
        e.failed = false;
    } else {
        // What was held stays, marked as old. A 404 is no exception: a server that does not
        // know the account and one that has no history at all answer alike, and neither is
        // an account without use.
        e.failed = true;
    }
    Q_EMIT changed(k);
}

void UsageHistory::wantCost(int days)
{
    if (!m_store || m_store->phase() != Store::Phase::Platform || !m_store->isAdmin())
        return;
    const double now = Clock::now();
    if (m_cost.pending || (m_cost.failed && now - m_cost.askedAt < kRetry))
        return;
    if (!m_cost.failed && m_cost.at > 0 && m_cost.days >= days && now - m_cost.at < kFresh)
        return;
    m_cost.pending = true;
    m_cost.askedAt = now;
    m_store->getStatus(QStringLiteral("/api/stats/cost?days=") + QString::number(days), [this, days](const HttpReply &r) {
        m_cost.pending = false;
        Cost fresh;
        if (answer::sort(r, answer::Kind::Load) == answer::Verdict::Ok && decodeCost(r.json, fresh)) {
            m_cost.rows = std::move(fresh.rows);
            m_cost.to = fresh.to;
            m_cost.days = days;
            m_cost.at = Clock::now();
            m_cost.failed = false;
        } else {
            m_cost.failed = true;
        }
        Q_EMIT costChanged();
    });
}

bool UsageHistory::decodeHistory(const QJsonObject &o, Entry &into)
{
    const QJsonValue windows = o.value(QLatin1String("windows"));
    if (!windows.isObject())
        return false;
    into.five = points(windows.toObject().value(QLatin1String("five_hour")));
    into.seven = points(windows.toObject().value(QLatin1String("seven_day")));
    return true;
}

bool UsageHistory::decodeCost(const QJsonObject &o, Cost &into)
{
    const QJsonValue rows = o.value(QLatin1String("rows"));
    const QDate to = QDate::fromString(o.value(QLatin1String("to")).toString(), Qt::ISODate);
    if (!rows.isArray() || !to.isValid())
        return false;
    into.to = to;
    const QJsonArray list = rows.toArray();
    for (qsizetype i = 0; i < list.size() && into.rows.size() < kMaxCostRows; ++i) {
        const QJsonObject r = list.at(i).toObject();
        const QDate day = QDate::fromString(r.value(QLatin1String("day")).toString(), Qt::ISODate);
        const double cost = r.value(QLatin1String("cost_usd")).toDouble();
        if (day.isValid() && std::isfinite(cost))
            into.rows.append({day, r.value(QLatin1String("provider")).toString(), cost,
                              r.value(QLatin1String("tokens_in")).toDouble(), r.value(QLatin1String("tokens_out")).toDouble()});
    }
    return true;
}

void UsageHistory::clear()
{
    m_entries.clear();
    m_cost = Cost{};
    Q_EMIT changed(QString());
    Q_EMIT costChanged();
}

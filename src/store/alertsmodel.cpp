#include "store/alertsmodel.h"

#include "core/format.h"

#include <algorithm>

AlertsModel::AlertsModel(QObject *parent)
    : KeyedListModel(parent)
{
    setStore(Store::instance());
}

void AlertsModel::setStore(Store *store)
{
    for (const auto &c : std::as_const(m_links))
        disconnect(c);
    m_links.clear();
    m_store = store;
    if (store)
        m_links << connect(store->home(), &HomeState::alertsChanged, this, &AlertsModel::rebuild);
    rebuild();
}

QList<AlertRow> AlertsModel::rowsFor(const QList<AlertEvent> &events)
{
    QList<AlertRow> out;
    out.reserve(events.size());
    for (const AlertEvent &e : events) {
        const QString sev = e.severity.toLower();
        out.append({e.evId, e.ts, fmt::resetText(e.ts), e.email.isEmpty() ? QStringLiteral("—") : e.email, e.title,
                    sev == QLatin1String("critical") || sev == QLatin1String("danger") ? QStringLiteral("danger")
                        : sev == QLatin1String("warning") || sev == QLatin1String("warn") ? QStringLiteral("warn")
                                                                                          : QStringLiteral("textSecondary"),
                    !e.ack});
    }
    // Newest first whatever order the server sent; equal times keep the server's order.
    std::stable_sort(out.begin(), out.end(), [](const AlertRow &a, const AlertRow &b) { return a.ts > b.ts; });
    return out;
}

void AlertsModel::rebuild()
{
    const int before = count();
    reconcile(m_rows, m_store ? rowsFor(m_store->home()->alerts()) : QList<AlertRow>(),
              [](const AlertRow &r) { return r.evId; }, [](const AlertRow &a, const AlertRow &b) { return a == b; });
    if (count() != before)
        Q_EMIT countChanged();
}

void AlertsModel::shown()
{
    if (!m_store)
        return;
    m_shown = true;
    m_store->loadAlerts();
}

AlertsModel::~AlertsModel()
{
    // Marked read only now: marked on opening, the unread dots would vanish with the first answer,
    // before anyone could see which alerts were new. What the store holds is what the list showed.
    if (m_shown && m_store)
        m_store->markAlertsRead();
}

int AlertsModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

QVariant AlertsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const AlertRow &r = m_rows.at(index.row());
    switch (role) {
    case WhenRole: return r.when;
    case AccountRole: return r.account;
    case TitleRole: return r.title;
    case ToneRole: return r.tone;
    case UnreadRole: return r.unread;
    default: return {};
    }
}

QHash<int, QByteArray> AlertsModel::roleNames() const
{
    return {{WhenRole, "when"}, {AccountRole, "account"}, {TitleRole, "title"}, {ToneRole, "tone"}, {UnreadRole, "unread"}};
}

#include "store/activitymodel.h"

#include "store/teamrules.h"

#include <QHash>
#include <QVariantMap>

bool ActCard::sameAs(const ActCard &o) const
{
    return name == o.name && online == o.online && header == o.header && offwork == o.offwork && chips == o.chips;
}

ActivityModel::ActivityModel(QObject *parent)
    : KeyedListModel(parent)
{
    setStore(Store::instance());
}

void ActivityModel::setStore(Store *store)
{
    for (const auto &c : std::as_const(m_links))
        disconnect(c);
    m_links.clear();
    m_store = store;
    if (store) {
        m_links << connect(store->activity(), &ActivityState::peopleChanged, this, &ActivityModel::rebuild)
                << connect(store->activity(), &ActivityState::loadingChanged, this, &ActivityModel::stateChanged)
                << connect(store->activity(), &ActivityState::rangeChanged, this, &ActivityModel::rangeChanged);
    }
    rebuild();
    Q_EMIT rangeChanged();
}

QList<ActCard> ActivityModel::cardsFor(const QList<ActPerson> &people)
{
    QList<ActCard> out;
    out.reserve(people.size());
    QHash<QString, int> seen;
    for (const ActPerson &p : people) {
        ActCard c;
        // The member's id, else the name; a repeated one gets "#n" so every card keeps its own key.
        const QString base = p.memberId.isEmpty() ? QStringLiteral("n:") + p.name : QStringLiteral("m:") + p.memberId;
        const int n = seen[base]++;
        c.key = n == 0 ? base : base + u'#' + QString::number(n);
        c.name = p.name;
        c.online = p.online;
        c.header = actui::headerText(p);
        c.offwork = actui::offworkText(p);
        c.chips = actui::chips(p);
        out << c;
    }
    return out;
}

void ActivityModel::rebuild()
{
    reconcile(m_rows, m_store ? cardsFor(m_store->activity()->people()) : QList<ActCard>(),
              [](const ActCard &c) { return c.key; }, [](const ActCard &a, const ActCard &b) { return a.sameAs(b); });
    Q_EMIT stateChanged();
}

int ActivityModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant ActivityModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const ActCard &c = m_rows[index.row()];
    switch (role) {
    case NameRole: return c.name;
    case OnlineRole: return c.online;
    case HeaderRole: return c.header;
    case OffworkRole: return c.offwork;
    case ChipsRole: return c.chips;
    default: return {};
    }
}

QHash<int, QByteArray> ActivityModel::roleNames() const
{
    return {{NameRole, "name"}, {OnlineRole, "online"}, {HeaderRole, "header"}, {OffworkRole, "offwork"},
            {ChipsRole, "chips"}};
}

QVariantList ActivityModel::ranges()
{
    const std::pair<int, QString> choices[] = {
        {7, QStringLiteral("7 дней")}, {14, QStringLiteral("14 дней")}, {30, QStringLiteral("30 дней")}};
    QVariantList out;
    for (const auto &[days, label] : choices)
        out << QVariantMap{{QStringLiteral("key"), days}, {QStringLiteral("label"), label}};
    return out;
}

int ActivityModel::rangeDays() const { return m_store ? m_store->activity()->range() : 0; }

bool ActivityModel::showSpinner() const
{
    return m_store && m_store->activity()->people().isEmpty() && m_store->activity()->loading();
}

bool ActivityModel::showPlaceholder() const
{
    return m_store && m_store->activity()->people().isEmpty() && !m_store->activity()->loading();
}

void ActivityModel::shown()
{
    if (m_store)
        m_store->loadActivity();
}

void ActivityModel::refresh()
{
    if (m_store)
        m_store->loadActivity();
}

void ActivityModel::chooseRange(int days)
{
    if (m_store)
        m_store->setActRangeAndLoad(days);
}

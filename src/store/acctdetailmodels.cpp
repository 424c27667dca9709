#include "store/acctdetailmodels.h"

#include "core/acview.h"

void AcctListModel::setAcct(const QVariant &v)
{
    const TeamAcct next = v.canConvert<TeamAcct>() ? v.value<TeamAcct>() : TeamAcct();
    const int n = countOf(next), was = m_count;
    // Rows stay where they are (the lists are short and positional); only the count changes.
    if (n > was)
        beginInsertRows({}, was, n - 1);
    else if (n < was)
        beginRemoveRows({}, n, was - 1);
    m_acct = next;
    m_count = n;
    if (n > was)
        endInsertRows();
    else if (n < was)
        endRemoveRows();
    if (const int kept = std::min(n, was); kept > 0)
        Q_EMIT dataChanged(index(0), index(kept - 1));
    if (n != was)
        Q_EMIT countChanged();
    Q_EMIT acctChanged();
}

RegistryModel::RegistryModel(QObject *parent)
    : AcctListModel(parent)
{
    refreshOnTick({ValueRole, ToneRole});
}

int RegistryModel::countOf(const TeamAcct &a) const
{
    return int(acview::registryItems(a).size());
}

QVariant RegistryModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const acview::RegistryItem i = acview::registryItems(account()).value(index.row());
    switch (role) {
    case LabelRole: return i.label;
    case ValueRole: return i.value;
    case ToneRole: return i.tone;
    default: return {};
    }
}

QHash<int, QByteArray> RegistryModel::roleNames() const
{
    return {{LabelRole, "label"}, {ValueRole, "value"}, {ToneRole, "tone"}};
}

DevicesModel::DevicesModel(QObject *parent)
    : AcctListModel(parent)
{
    refreshOnTick({SeenRole});
}

QVariant DevicesModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const acview::DeviceLines l = acview::deviceLines(account().devices.at(index.row()));
    switch (role) {
    case NameRole: return l.name;
    case SeenRole: return l.seen;
    case OnlineRole: return l.online;
    case DetailsRole: return l.details;
    case CcRole: return l.cc;
    case BrRole: return l.br;
    case OutdatedRole: return l.outdated;
    case FiguresRole: return l.figures;
    default: return {};
    }
}

QHash<int, QByteArray> DevicesModel::roleNames() const
{
    return {{NameRole, "name"}, {SeenRole, "seen"}, {OnlineRole, "online"}, {DetailsRole, "details"},
            {CcRole, "cc"}, {BrRole, "br"}, {OutdatedRole, "outdated"}, {FiguresRole, "figures"}};
}

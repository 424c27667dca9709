#pragma once
// The AI resources table's rows: the team's accounts that pass the panel's filters (provider,
// status, search), in the panel's sort, each keyed by its account id. The filters and the sort
// live in Store.resources (`prov`, `status`, `query`, `sortKey`, `sortAsc`) and follow it. The
// full sorted order is kept between changes, so a keystroke in the search only filters it again.

#include "store/storeref.h"
#include "store/teamaccountsmodel.h"

#include <QCollator>
#include <QSet>
#include <QVariantList>

class AccountsFilter : public OrderedKeyedModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(TeamAccountsModel *source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(Store *store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // Accounts before filtering.
    Q_PROPERTY(int total READ total NOTIFY countChanged)
    // [{key, label, count}] over all accounts, in provider order.
    Q_PROPERTY(QVariantList providerCounts READ providerCounts NOTIFY countChanged)
    // The filter chips: "Все" with the count of all accounts, then providerCounts.
    Q_PROPERTY(QVariantList chips READ chips NOTIFY countChanged)
    // The id of the first row, "" when there is none.
    Q_PROPERTY(QString firstId READ firstId NOTIFY countChanged)

public:
    explicit AccountsFilter(QObject *parent = nullptr);

    TeamAccountsModel *source() const { return m_source; }
    void setSource(TeamAccountsModel *m);
    Store *store() const;
    void setStore(Store *s);

    int count() const { return int(m_rows.size()); }
    int total() const;
    QVariantList providerCounts() const;
    QVariantList chips() const;
    QString firstId() const { return m_rows.isEmpty() ? QString() : m_rows.front()->id; }
    const QList<AcRowPtr> &rows() const { return m_rows.list(); }
    bool isExpanded(const QString &id) const { return m_expanded.contains(id); }

    // The filters and sort as given (tests and benchmarks drive them without a Store).
    void setFilter(const acpanel::Filter &f);
    void setSort(const acpanel::SortState &s);
    const acpanel::Filter &filter() const { return m_filter; }
    const acpanel::SortState &sort() const { return m_sort; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // A click on a column header (the panel's `onSort`): writes the new sort state to Store.
    Q_INVOKABLE void onSort(Ac::Sort key);
    Q_INVOKABLE QVariant get(int row) const;
    Q_INVOKABLE int indexOfId(const QString &id) const;

Q_SIGNALS:
    void sourceChanged();
    void storeChanged();
    void countChanged();
    // The rows are up to date (the grouped model rebuilds on it).
    void rowsUpdated();

private:
    void followStore();
    void readStore();
    void sourceReloaded();
    void resort();
    void refilter(bool reloaded = false);
    void expandedChanged();

    QPointer<TeamAccountsModel> m_source;
    StoreRef m_store;
    QList<QMetaObject::Connection> m_storeConns;
    QMetaObject::Connection m_sourceConn;
    acpanel::Filter m_filter;
    acpanel::SortState m_sort;
    QCollator m_collator;
    QList<AcRowPtr> m_all;    // the source's rows, held so the sorted positions stay valid
    QList<int> m_sorted;      // positions into m_all, in sort order
    RowStore<AcRowPtr> m_rows; // shown: sorted, filtered
    QSet<QString> m_expanded;
    bool m_writingSort = false;
};

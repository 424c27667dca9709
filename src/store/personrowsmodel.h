#pragma once
// The "people" mode of the AI resources table as one flat list: for each owner group, a header
// row followed by the group's account rows. Built from the filtered, sorted rows of an
// AccountsFilter; headers are keyed by the owner name and accounts by their id, so a refresh
// keeps every delegate.

#include "store/accountsfilter.h"

class PersonRowsModel : public OrderedKeyedModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(AccountsFilter *accounts READ accounts WRITE setAccounts NOTIFY accountsChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(QString firstId READ firstId NOTIFY countChanged)

public:

    struct Row {
        QString key;        // "p:" + owner for a header, "a:" + account id for an account
        AcRowPtr acct;      // null for a header
        QString name, countText, summary;
        bool online = false;
    };

    explicit PersonRowsModel(QObject *parent = nullptr);

    AccountsFilter *accounts() const { return m_accounts; }
    void setAccounts(AccountsFilter *f);
    int count() const { return int(m_rows.size()); }
    QString firstId() const;
    const QList<Row> &rows() const { return m_rows.list(); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void accountsChanged();
    void countChanged();

private:
    void rebuild();
    void forwardExpanded(const QModelIndex &from, const QModelIndex &to, const QList<int> &roles);

    QPointer<AccountsFilter> m_accounts;
    QList<QMetaObject::Connection> m_conns;
    RowStore<Row> m_rows;
};

#pragma once
// The account detail's two small lists as list models of one account: the registry entries and
// the device cards, in the order core/acview gives them. Their texts are worked out when read;
// the tick refreshes the ones that count time ("6 ч назад"), a new record of the account all.

#include "core/teamacct.h"
#include "store/keyedlistmodel.h"

#include <QtQml/qqmlregistration.h>

class AcctListModel : public KeyedListModel
{
    Q_OBJECT
    // The account (a TeamAcct, as the table's `acct` role gives it).
    Q_PROPERTY(QVariant acct READ acct WRITE setAcct NOTIFY acctChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    QVariant acct() const { return QVariant::fromValue(m_acct); }
    void setAcct(const QVariant &v);
    int count() const { return m_count; }
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_count; }

Q_SIGNALS:
    void acctChanged();
    void countChanged();

protected:
    using KeyedListModel::KeyedListModel;
    virtual int countOf(const TeamAcct &a) const = 0;
    const TeamAcct &account() const { return m_acct; }

private:
    TeamAcct m_acct;
    int m_count = 0;
};

class RegistryModel : public AcctListModel
{
    Q_OBJECT
    QML_ELEMENT
public:
    enum Role { LabelRole = Qt::UserRole + 1, ValueRole, ToneRole };
    explicit RegistryModel(QObject *parent = nullptr);
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

protected:
    int countOf(const TeamAcct &a) const override;
};

class DevicesModel : public AcctListModel
{
    Q_OBJECT
    QML_ELEMENT
public:
    enum Role {
        NameRole = Qt::UserRole + 1, SeenRole, OnlineRole, DetailsRole, CcRole, BrRole, OutdatedRole, FiguresRole,
    };
    explicit DevicesModel(QObject *parent = nullptr);
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

protected:
    int countOf(const TeamAcct &a) const override { return int(a.devices.size()); }
};

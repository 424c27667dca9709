#pragma once
// The team's accounts as a list model, in load order, one row per account keyed by its stable id.
// A reload updates the rows in place: a row reports a change only when something it shows
// changed, new accounts are inserted and vanished ones removed, so the views keep their delegates
// (and whatever an open row holds) across the 30-second refresh.

#include "store/storeref.h"
#include "core/acpanel.h"
#include "core/teamacct.h"
#include "store/orderedkeyedmodel.h"

#include <QPointer>
#include <QtQml/qqmlregistration.h>
#include <memory>

class Store;

// One account as the lists hold it, with the keys its filters and sorts compare, made once.
struct AcRow {
    TeamAcct a;
    acpanel::RowKeys keys;
    QString id;       // a.id(), made once
    QString rowKey;   // "a:" + id: the account's key among the grouped rows
    explicit AcRow(const TeamAcct &acct) : AcRow(acct, acpanel::RowKeys(acct)) {}
    AcRow(const TeamAcct &acct, const acpanel::RowKeys &k)
        : a(acct), keys(k), id(acct.id()), rowKey(QStringLiteral("a:") + id) {}
};
using AcRowPtr = std::shared_ptr<const AcRow>;

namespace acrows {
inline const QString &key(const AcRowPtr &r) { return r->id; }
// The same on screen: the table row (`rev`) and the detail's registry and device fields that the
// fingerprint leaves out, so an edit of, say, the payment method still redraws an open detail.
// Together these are every field of the record.
bool sameAccount(const TeamAcct &a, const TeamAcct &b);
inline bool same(const AcRowPtr &x, const AcRowPtr &y) { return x == y || sameAccount(x->a, y->a); }

// The roles of an account's table row, shared by the account lists: every cell's text and colour
// role, worked out in C++ (core/acview) when a delegate reads it.
enum Role {
    AcctRole = Qt::UserRole + 1, AccountIdRole, RevRole, ExpandedRole, IsHeaderRole,
    ProviderRole, ProvLabelRole, AuthSymbolRole, AuthTextRole, MarkerRole, MarkerToneRole,
    GroupRole, OwnerRole, EmailRole, StatusTextRole, StatusToneRole,
    FiveTextRole, FiveToneRole, FiveBarToneRole, FiveFracRole,
    SevenTextRole, SevenToneRole, SevenBarToneRole, SevenFracRole, TopTextRole, TopToneRole,
    Reset5TextRole, Reset5ToneRole, EtaTextRole, EtaToneRole, Reset7TextRole, Reset7ToneRole, Reset7DateRole,
    CostRole, WhoNoneRole, WhoNameRole, WhoDotRole, WhoMoreRole, PresTextRole, PresDotRole, PresToneRole,
    // A dashboard card's own cells; its e-mail, tags, owner and gauge texts and fills are the
    // table's. `scoped` is [{name, text, tone, frac}], `users` [{name, dotTone}].
    CardDotRole, ProviderTagRole, HoldRole, CardCostRole, ModelNameRole, TokensRole, PullRole,
    ProjectsRole, ActivityMoreRole, SeenRole, FiveGaugeToneRole, FiveCountdownRole,
    SevenGaugeToneRole, SevenCountdownRole, ScopedRole, UsersRole, UsersMoreRole,
    // The five-hour run-out line under the card's gauge (Forecasts), and its colour role.
    ForecastTextRole, ForecastToneRole,
    // An owner's group header in the "people" list (PersonRowsModel); empty on account rows.
    GroupNameRole, GroupCountRole, GroupSummaryRole, GroupOnlineRole,
    RoleEnd
};
// A cell of a row. A list's own roles (ExpandedRole, the group header's) are not answered here.
// A group header (`r` null) answers every account role with the empty value of its type, so
// that one delegate with typed required properties serves both kinds of row.
QVariant cell(const AcRow *r, int role);
QHash<int, QByteArray> roleNames();
// The roles whose texts change with the clock alone (countdowns, "… назад", the run-out line):
// the lists refresh these, and only these, on every tick.
QList<int> timeRoles();
} // namespace acrows

class TeamAccountsModel : public OrderedKeyedModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Store *store READ store WRITE setStore NOTIFY storeChanged)
    // At most this many first accounts (the dashboard lists six); -1 for all.
    Q_PROPERTY(int limit READ limit WRITE setLimit NOTIFY limitChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    explicit TeamAccountsModel(QObject *parent = nullptr);

    Store *store() const;
    void setStore(Store *s);
    int limit() const { return m_limit; }
    void setLimit(int n);
    int count() const { return int(m_rows.size()); }

    // Replaces the accounts (a Store reload does this); rows whose data did not change keep
    // their record and their sort keys.
    void setAccounts(const QList<TeamAcct> &accounts);
    const QList<AcRowPtr> &rows() const { return m_rows.list(); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The account of a row, for QML (a TeamAcct, or null outside the list).
    Q_INVOKABLE QVariant get(int row) const;

Q_SIGNALS:
    void storeChanged();
    void limitChanged();
    void countChanged();
    // The rows are up to date after a reload (the filter models rebuild on it).
    void reloaded();

private:
    void follow();
    void reload();

    StoreRef m_store;
    QMetaObject::Connection m_conn;
    int m_limit = -1;
    RowStore<AcRowPtr> m_rows;
};

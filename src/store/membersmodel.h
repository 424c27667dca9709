#pragma once
// The team screen's roster: a list model of Store's members keyed by the member's id (rows
// are updated in place when a reload brings them back), a filter-and-sort proxy over it driven
// by the screen's filter fields in Store, and the screen's own state and actions (RosterView).

#include "store/keyedlistmodel.h"
#include "store/store.h"
#include "store/teamrules.h"

#include <QPointer>
#include <QSortFilterProxyModel>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

class MembersModel : public KeyedListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by RosterView")

public:
    enum Role {
        MemberRole = Qt::UserRole + 1, MemberIdRole, TitleRole, IsAdminRole, ContractorRole, ActiveRole,
        SpecRole, DeptRole, LoginLineRole, OnlineRole, PresenceRole, AccountsRole, InitialsRole,
        HasAvatarRole, SortRole,
    };

    explicit MembersModel(QObject *parent = nullptr);
    // Mirrors the list given (in roster order).
    void setMembers(const QList<Member> &members);
    const roster::Row &rowAt(int i) const { return m_rows[i]; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<roster::Row> m_rows;
};

// The members the list shows: the type, department and search filters, sorted by the chosen
// key (ties keep roster order).
class MemberFilter : public QSortFilterProxyModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by RosterView")
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    explicit MemberFilter(MembersModel *source, QObject *parent = nullptr);
    void setCriteria(Tm::Type type, const QString &dept, const QString &query, Tm::Sort sortKey, bool asc);
    int count() const { return rowCount(); }
    // The member shown at a row.
    const Member &memberAt(int row) const;

Q_SIGNALS:
    void countChanged();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    MembersModel *m_source;
    Tm::Type m_type = Tm::Type::All;
    QString m_dept, m_query;
    Tm::Sort m_sortKey = Tm::Sort::Online;
    bool m_asc = false;
};

class RosterView : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(MemberFilter *model READ model CONSTANT)
    Q_PROPERTY(int memberCount READ memberCount NOTIFY membersChanged)
    Q_PROPERTY(QVariantList deptChips READ deptChips NOTIFY deptChipsChanged)
    Q_PROPERTY(bool deptChipsVisible READ deptChipsVisible NOTIFY deptChipsChanged)
    Q_PROPERTY(QVariantList typeOptions READ typeOptions CONSTANT)
    Q_PROPERTY(QVariantList sortOptions READ sortOptions NOTIFY sortChanged)
    Q_PROPERTY(QString contentCase READ contentCase NOTIFY contentChanged)
    Q_PROPERTY(QVariant pendingDelete READ pendingDelete WRITE setPendingDelete NOTIFY pendingDeleteChanged)
    Q_PROPERTY(QString deleteButtonText READ deleteButtonText NOTIFY pendingDeleteChanged)
    Q_PROPERTY(bool hasPendingDelete READ hasPendingDelete NOTIFY pendingDeleteChanged)
    // A password reset waiting for its confirmation (it signs the member out everywhere).
    Q_PROPERTY(bool hasPendingReset READ hasPendingReset NOTIFY pendingResetChanged)
    Q_PROPERTY(QString resetTitle READ resetTitle NOTIFY pendingResetChanged)
    Q_PROPERTY(QVariant editing READ editing WRITE setEditing NOTIFY editingChanged)
    Q_PROPERTY(bool hasEditing READ hasEditing NOTIFY editingChanged)
    // The one-time credential sheet: shown while Store holds a credential.
    Q_PROPERTY(bool secretOpen READ secretOpen NOTIFY secretChanged)
    Q_PROPERTY(QString secretTitle READ secretTitle NOTIFY secretChanged)
    Q_PROPERTY(QString secretText READ secretText NOTIFY secretChanged)
    // Closing the sheet before the credential was copied asks first: it cannot be shown again.
    Q_PROPERTY(bool secretLeaving READ secretLeaving NOTIFY secretChanged)

public:
    explicit RosterView(QObject *parent = nullptr);
    void setStore(Store *store);

    MemberFilter *model() const { return m_filter; }
    MembersModel *source() const { return m_model; }
    int memberCount() const;
    // "Все отделы" with every member, then one chip per department ({key, title, count, active}).
    // A department filter whose department no longer exists keeps a chip of its own, so it can
    // still be seen and cleared.
    QVariantList deptChips() const;
    bool deptChipsVisible() const;
    static QVariantList typeOptions();
    // {key, name, label, icon}: the current key carries "arrow.up" or "arrow.down".
    QVariantList sortOptions() const;
    // "loading", "empty" (no members), "nomatch" (none pass the filters) or "list".
    QString contentCase() const;
    QVariant pendingDelete() const { return m_pendingDelete; }
    void setPendingDelete(const QVariant &member);
    QString deleteButtonText() const;
    bool hasPendingDelete() const { return m_pendingDelete.isValid(); }
    bool hasPendingReset() const { return m_pendingReset.isValid(); }
    QString resetTitle() const;
    QVariant editing() const { return m_editing; }
    void setEditing(const QVariant &member);
    bool hasEditing() const { return m_editing.isValid(); }
    bool secretOpen() const;
    QString secretTitle() const;
    // The text handed to the member: the credential with the server's address.
    QString secretText() const;

    Q_INVOKABLE void shown();
    Q_INVOKABLE void reload();
    Q_INVOKABLE void addMember();
    Q_INVOKABLE void chooseType(Tm::Type type);
    Q_INVOKABLE void chooseDept(const QString &name);
    Q_INVOKABLE void chooseSort(Tm::Sort key);
    // The member shown at a row of the list (a Member value), or null.
    Q_INVOKABLE QVariant memberAt(int row) const;
    Q_INVOKABLE void open(const QVariant &member);
    // "Сбросить пароль" in a card menu or in the profile sheet: asks first, then resets.
    Q_INVOKABLE void askReset(const QVariant &member);
    Q_INVOKABLE void confirmReset();
    Q_INVOKABLE void cancelReset();
    Q_INVOKABLE void toggleActive(const QVariant &member);
    // "Удалить" in a card menu or in the profile sheet: asks first.
    Q_INVOKABLE void askDelete(const QVariant &member);
    // The confirmation's "Удалить …": deletes, and closes the profile sheet of that member.
    Q_INVOKABLE void confirmDelete();
    Q_INVOKABLE void cancelDelete();
    // The credential is gone for good (the confirmation's "Закрыть", or the sheet closed for it).
    Q_INVOKABLE void clearSecret();
    bool secretLeaving() const { return m_secretLeaving; }
    // The copy button put the credential on the clipboard.
    Q_INVOKABLE void secretCopied();
    // "Готово", Enter or Escape on the credential sheet: closes it once the credential was
    // copied, else asks first (secretLeaving).
    Q_INVOKABLE void dismissSecret();
    // The question's "Отмена": back to the sheet.
    Q_INVOKABLE void keepSecret();

Q_SIGNALS:
    void membersChanged();
    void deptChipsChanged();
    void sortChanged();
    void contentChanged();
    void pendingDeleteChanged();
    void pendingResetChanged();
    void editingChanged();
    void secretChanged();

private:
    void applyCriteria();
    void syncMembers();

    QPointer<Store> m_store;
    QList<QMetaObject::Connection> m_links;
    MembersModel *m_model;
    MemberFilter *m_filter;
    QList<roster::Dept> m_depts;
    QVariant m_pendingDelete, m_pendingReset, m_editing;
    bool m_secretCopied = false, m_secretLeaving = false; // of the credential now shown
};

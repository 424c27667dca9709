#pragma once
// The activity screen's person cards, most active first, with their texts decided here; and
// the range choice, which always reloads (even the range already shown).

#include "store/keyedlistmodel.h"
#include "store/store.h"

#include <QPointer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

struct ActCard {
    QString key;
    QString name;
    bool online = false;
    QString header;   // "3ч 10м · $4.20 · 12 сес."
    QString offwork;  // "вне рабочих: …", or ""
    QVariantList chips;
    bool sameAs(const ActCard &o) const;
};

class ActivityModel : public KeyedListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariantList ranges READ ranges CONSTANT)
    Q_PROPERTY(int rangeDays READ rangeDays NOTIFY rangeChanged)
    Q_PROPERTY(bool showSpinner READ showSpinner NOTIFY stateChanged)
    Q_PROPERTY(bool showPlaceholder READ showPlaceholder NOTIFY stateChanged)
    Q_PROPERTY(int count READ count NOTIFY stateChanged)

public:
    enum Role { NameRole = Qt::UserRole + 1, OnlineRole, HeaderRole, OffworkRole, ChipsRole };

    explicit ActivityModel(QObject *parent = nullptr);
    void setStore(Store *store);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    static QVariantList ranges();
    int rangeDays() const;
    bool showSpinner() const;
    bool showPlaceholder() const;
    int count() const { return int(m_rows.size()); }
    const QList<ActCard> &cards() const { return m_rows; }
    static QList<ActCard> cardsFor(const QList<ActPerson> &people);

    Q_INVOKABLE void shown();
    Q_INVOKABLE void refresh();
    // A range choice in days (7 for none that is positive), then a reload.
    Q_INVOKABLE void chooseRange(int days);

Q_SIGNALS:
    void rangeChanged();
    void stateChanged();

private:
    void rebuild();

    QPointer<Store> m_store;
    QList<QMetaObject::Connection> m_links;
    QList<ActCard> m_rows;
};

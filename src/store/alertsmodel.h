#pragma once
// The administrator's alert list: newest first, each with its time, account and what happened,
// unread ones marked. The marks stay while the list is open, so they can be read; closing it
// (the model going away) marks what it showed read on the server.

#include "store/keyedlistmodel.h"
#include "store/store.h"

#include <QPointer>
#include <QtQml/qqmlregistration.h>

struct AlertRow {
    double evId = 0;
    double ts = 0;
    QString when;    // "5 дек 14:32"
    QString account; // the account's e-mail, or "—"
    QString title;
    QString tone;    // colour role of the severity
    bool unread = false;
    bool operator==(const AlertRow &) const = default;
};

class AlertsModel : public KeyedListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { WhenRole = Qt::UserRole + 1, AccountRole, TitleRole, ToneRole, UnreadRole };

    explicit AlertsModel(QObject *parent = nullptr);
    ~AlertsModel() override;
    void setStore(Store *store);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return int(m_rows.size()); }

    static QList<AlertRow> rowsFor(const QList<AlertEvent> &events);
    // The list is on screen: reload it; what it shows is marked read once it closes.
    Q_INVOKABLE void shown();

Q_SIGNALS:
    void countChanged();

private:
    void rebuild();

    QPointer<Store> m_store;
    QList<QMetaObject::Connection> m_links;
    QList<AlertRow> m_rows;
    bool m_shown = false;
};

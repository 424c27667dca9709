#pragma once
// The team server's usage history as the client holds it: each account's limit windows over the
// last days (the run-out lines and the charts read them) and the team's cost per day. Loads are
// asked for by whoever shows them and come at most once per account at a time; what is held is
// asked again once it is a few minutes old. A failed load keeps what was held and says so.

#include "core/chart.h"
#include "core/forecast.h"

#include <QDate>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>

class Store;
struct HttpReply;

class UsageHistory : public QObject
{
    Q_OBJECT

public:
    // What is held is asked again after this long; a failed load is not retried sooner than this.
    static constexpr double kFresh = 300;
    static constexpr double kRetry = 60;
    // Points of one window taken from an answer; the server's thinning keeps a week well under it.
    static constexpr qsizetype kMaxPoints = 20000;
    static constexpr qsizetype kMaxCostRows = 5000;

    struct Entry {
        QList<forecast::Point> five, seven;
        int days = 0;           // how many days the held points cover
        double at = 0;          // when they arrived (client clock); 0: nothing held yet
        double askedAt = 0;     // when the last load was sent
        bool pending = false;
        bool failed = false;    // the newest load got no usable answer
    };
    struct Cost {
        QList<chart::CostRow> rows;
        QDate to;               // the server's last day
        int days = 0;
        double at = 0, askedAt = 0;
        bool pending = false, failed = false;
    };

    UsageHistory(Store *store, QObject *parent);

    static QString key(const QString &provider, const QString &email);
    // The account's history as held (`at` 0 while nothing has arrived), or null when never asked.
    const Entry *entry(const QString &provider, const QString &email) const;
    const Cost &cost() const { return m_cost; }

    // Loads `days` of the account's history unless that much is held and fresh or a load is on its way.
    void want(const QString &provider, const QString &email, int days);
    void wantCost(int days);

    // The answers of GET /api/accounts/history and GET /api/stats/cost; false when not one.
    static bool decodeHistory(const QJsonObject &o, Entry &into);
    static bool decodeCost(const QJsonObject &o, Cost &into);

Q_SIGNALS:
    void changed(const QString &key); // empty: every account's
    void costChanged();

private:
    void onHistory(const QString &key, int days, const HttpReply &r);
    void clear();

    QPointer<Store> m_store;
    QHash<QString, Entry> m_entries;
    Cost m_cost;
};

#pragma once
// The statistics screen as one flat list: each card is a title row followed by its rows, so a
// single lazily built list view draws cards that may hold thousands of rows. Every text, bar
// fraction and colour role is decided here; the delegates only draw them.

#include "store/keyedlistmodel.h"
#include "store/store.h"

#include <QPointer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <array>

struct StatRow {
    enum Kind { Title, MemberRow, AccountRow, SourceRow, ResultHead, ResultRow, MirrorRow };
    QString key;
    Kind kind = Title;
    bool gapAbove = false; // a title row of a card that follows another card
    bool cardEnd = false;  // the last row of its card
    QString title;         // the card's title (title rows)
    QString label;         // name, e-mail or source label
    double frac = 0;       // the share bar, 0..1
    QString share;         // "N%"
    QString money;         // the cost column
    QString note, note2;   // small extra texts beside the bar ("app/веб 5%", "3 сес.", "оценка")
    double resetsAt = 0;   // account rows: the countdown is computed when drawn
    QString tone;          // bar colour role
    QString pos, lines, commits, prs, accept, cpl; // result table cells

    bool sameAs(const StatRow &o) const;
};

class StatsModel : public KeyedListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariantList scopes READ scopes CONSTANT)
    Q_PROPERTY(Stat::Scope scope READ scope NOTIFY scopeChanged)
    Q_PROPERTY(bool showSpinner READ showSpinner NOTIFY stateChanged)
    Q_PROPERTY(bool showPlaceholder READ showPlaceholder NOTIFY stateChanged)
    Q_PROPERTY(int count READ count NOTIFY stateChanged)

public:
    enum Role {
        KindRole = Qt::UserRole + 1, GapAboveRole, CardEndRole, TitleRole, LabelRole, FracRole, ShareRole,
        MoneyRole, NoteRole, Note2Role, ResetRole, ToneRole, PosRole, LinesRole, CommitsRole, PrsRole,
        AcceptRole, CplRole,
    };

    // Follows `store`, or the application's Store when none is given.
    explicit StatsModel(QObject *parent = nullptr);
    void setStore(Store *store);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    static QVariantList scopes();
    Stat::Scope scope() const;
    // A spinner only while the first load runs over an empty screen.
    bool showSpinner() const;
    // "Пока нет статистики" only when no card is shown and nothing is loading.
    bool showPlaceholder() const;
    int count() const { return int(m_rows.size()); }
    const QList<StatRow> &rows() const { return m_rows; }

    // The rows of each card, in screen order, for the lists as they stand (pure; tests use it).
    static QList<StatRow> memberCard(const QList<StatMember> &members);
    static QList<StatRow> accountCard(const QList<StatAccount> &accounts);
    static QList<StatRow> sourceCard(const QList<StatSource> &sources);
    static QList<StatRow> resultCard(const QList<ResultMember> &results);
    static QList<StatRow> mirrorCard(const QList<MirrorSpend> &mirrors);

    // The screen appeared, or its refresh button: reload.
    Q_INVOKABLE void shown();
    Q_INVOKABLE void refresh();
    // A scope choice: reloads when it differs from the current one.
    Q_INVOKABLE void chooseScope(Stat::Scope scope);

Q_SIGNALS:
    void scopeChanged();
    void stateChanged();

private:
    enum Card { Members, Accounts, Sources, Results, Mirrors, CardCount };
    void rebuild(Card card);
    void publish();

    QPointer<Store> m_store;
    QList<QMetaObject::Connection> m_links;
    std::array<QList<StatRow>, CardCount> m_cards;
    QList<StatRow> m_rows;
};

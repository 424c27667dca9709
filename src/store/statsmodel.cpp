#include "store/statsmodel.h"

#include "core/format.h"
#include "store/choicetypes.h"
#include "store/teamrules.h"

#include <QHash>
#include <QVariantMap>

namespace {

// Keys unique within the list even when the server repeats a name or an e-mail: the n-th
// repetition of a base key gets "#n".
class KeyMaker
{
public:
    QString operator()(const QString &base)
    {
        const int n = m_seen[base]++;
        return n == 0 ? base : base + u'#' + QString::number(n);
    }

private:
    QHash<QString, int> m_seen;
};

StatRow titleRow(const QString &key, const QString &title)
{
    StatRow r;
    r.key = key;
    r.kind = StatRow::Title;
    r.title = title;
    return r;
}

void closeCard(QList<StatRow> &card)
{
    if (!card.isEmpty())
        card.last().cardEnd = true;
}

} // namespace

bool StatRow::sameAs(const StatRow &o) const
{
    return kind == o.kind && gapAbove == o.gapAbove && cardEnd == o.cardEnd && title == o.title
        && label == o.label && frac == o.frac && share == o.share && money == o.money && note == o.note
        && note2 == o.note2 && resetsAt == o.resetsAt && tone == o.tone && pos == o.pos && lines == o.lines
        && commits == o.commits && prs == o.prs && accept == o.accept && cpl == o.cpl;
}

StatsModel::StatsModel(QObject *parent)
    : KeyedListModel(parent)
{
    refreshOnTick({ResetRole});
    setStore(Store::instance());
}

void StatsModel::setStore(Store *store)
{
    for (const auto &c : std::as_const(m_links))
        disconnect(c);
    m_links.clear();
    m_store = store;
    if (store) {
        m_links << connect(store->stats(), &StatsState::membersChanged, this, [this] { rebuild(Members); })
                << connect(store->stats(), &StatsState::accountsChanged, this, [this] { rebuild(Accounts); })
                << connect(store->stats(), &StatsState::sourcesChanged, this, [this] { rebuild(Sources); })
                << connect(store->stats(), &StatsState::resultsChanged, this, [this] { rebuild(Results); })
                << connect(store->stats(), &StatsState::mirrorsChanged, this, [this] { rebuild(Mirrors); })
                << connect(store->stats(), &StatsState::loadingChanged, this, &StatsModel::stateChanged)
                << connect(store->stats(), &StatsState::scopeChanged, this, &StatsModel::scopeChanged);
    }
    for (int c = 0; c < CardCount; ++c)
        m_cards[c].clear();
    if (store) {
        m_cards[Members] = memberCard(store->stats()->members());
        m_cards[Accounts] = accountCard(store->stats()->accounts());
        m_cards[Sources] = sourceCard(store->stats()->sources());
        m_cards[Results] = resultCard(store->stats()->results());
        m_cards[Mirrors] = mirrorCard(store->stats()->mirrors());
    }
    publish();
    Q_EMIT scopeChanged();
}

QList<StatRow> StatsModel::memberCard(const QList<StatMember> &members)
{
    QList<StatRow> card;
    if (members.isEmpty())
        return card;
    card.reserve(members.size() + 1);
    card << titleRow(QStringLiteral("t:members"), QStringLiteral("Люди · доля лимитов"));
    const double max = statui::maxMemberPts(members);
    KeyMaker key;
    for (const StatMember &m : members) {
        StatRow r;
        r.key = key(QStringLiteral("m:") + m.memberId);
        r.kind = StatRow::MemberRow;
        r.label = m.name;
        r.frac = statui::frac(m.points, max);
        r.share = statui::pct(m.points);
        r.money = u'~' + statui::money(m.cost);
        r.tone = QStringLiteral("accent");
        card << r;
    }
    closeCard(card);
    return card;
}

QList<StatRow> StatsModel::accountCard(const QList<StatAccount> &accounts)
{
    QList<StatRow> card;
    if (accounts.isEmpty())
        return card;
    card.reserve(accounts.size() + 1);
    card << titleRow(QStringLiteral("t:accounts"), QStringLiteral("Аккаунты"));
    const double max = statui::maxAcctPts(accounts);
    KeyMaker key;
    for (const StatAccount &a : accounts) {
        StatRow r;
        r.key = key(QStringLiteral("a:") + a.provider + u'/' + a.email);
        r.kind = StatRow::AccountRow;
        r.label = a.email;
        r.frac = statui::frac(a.totalPoints, max);
        r.share = statui::pct(a.totalPoints);
        if (statui::finite(a.residual) > 0)
            r.note = QStringLiteral("app/веб ") + statui::pct(a.residual);
        r.resetsAt = statui::finite(a.resetsAt) > 0 ? a.resetsAt : 0;
        r.tone = QStringLiteral("accent");
        card << r;
    }
    closeCard(card);
    return card;
}

QList<StatRow> StatsModel::sourceCard(const QList<StatSource> &sources)
{
    QList<StatRow> card;
    if (!statui::sourcesShown(sources))
        return card;
    card.reserve(sources.size() + 1);
    card << titleRow(QStringLiteral("t:sources"), QStringLiteral("Источники · расход"));
    KeyMaker key;
    for (const StatSource &s : sources) {
        StatRow r;
        r.key = key(QStringLiteral("s:") + s.source);
        r.kind = StatRow::SourceRow;
        r.label = statui::sourceLabel(s.source);
        if (s.sessions >= 1)
            r.note = QString::number(s.sessions) + QStringLiteral(" сес.");
        if (s.source == QLatin1String("cowork"))
            r.note2 = QStringLiteral("оценка");
        r.frac = statui::frac(s.pct, 100);
        r.share = statui::pct(s.pct);
        r.money = statui::money(s.cost);
        r.tone = QStringLiteral("accent");
        card << r;
    }
    closeCard(card);
    return card;
}

QList<StatRow> StatsModel::resultCard(const QList<ResultMember> &results)
{
    QList<StatRow> card;
    if (results.isEmpty())
        return card;
    card.reserve(results.size() + 2);
    card << titleRow(QStringLiteral("t:results"), QStringLiteral("Результат за 7 дней"));
    StatRow head;
    head.key = QStringLiteral("rh");
    head.kind = StatRow::ResultHead;
    card << head;
    for (qsizetype i = 0; i < results.size(); ++i) {
        const ResultMember &m = results[i];
        StatRow r;
        // Rows are keyed by their position: the table is numbered, and names may repeat.
        r.key = QStringLiteral("r:") + QString::number(i);
        r.kind = StatRow::ResultRow;
        r.pos = QString::number(i + 1);
        r.label = m.name;
        r.lines = QString::number(m.linesAdded);
        r.commits = QString::number(m.commits);
        r.prs = QString::number(m.prs);
        r.accept = statui::acceptText(m.acceptRate);
        r.cpl = statui::costPerLineText(m.costPerLine);
        r.money = statui::money(m.cost);
        card << r;
    }
    closeCard(card);
    return card;
}

QList<StatRow> StatsModel::mirrorCard(const QList<MirrorSpend> &mirrors)
{
    QList<StatRow> card;
    if (mirrors.isEmpty())
        return card;
    card.reserve(mirrors.size() + 1);
    card << titleRow(QStringLiteral("t:mirrors"), QStringLiteral("Зеркала · расход сегодня"));
    KeyMaker key;
    for (const MirrorSpend &m : mirrors) {
        StatRow r;
        r.key = key(QStringLiteral("x:") + m.provider + u'/' + m.email);
        r.kind = StatRow::MirrorRow;
        r.label = m.email;
        r.tone = statui::mirrorTone(m.pct);
        r.frac = statui::frac(m.pct, 100);
        r.share = statui::pct(m.pct);
        r.money = statui::money(m.today) + QStringLiteral(" / ~") + statui::money(m.limit);
        card << r;
    }
    closeCard(card);
    return card;
}

void StatsModel::rebuild(Card card)
{
    if (!m_store)
        return;
    switch (card) {
    case Members: m_cards[Members] = memberCard(m_store->stats()->members()); break;
    case Accounts: m_cards[Accounts] = accountCard(m_store->stats()->accounts()); break;
    case Sources: m_cards[Sources] = sourceCard(m_store->stats()->sources()); break;
    case Results: m_cards[Results] = resultCard(m_store->stats()->results()); break;
    case Mirrors: m_cards[Mirrors] = mirrorCard(m_store->stats()->mirrors()); break;
    case CardCount: break;
    }
    publish();
}

void StatsModel::publish()
{
    QList<StatRow> next;
    qsizetype total = 0;
    for (const auto &c : m_cards)
        total += c.size();
    next.reserve(total);
    for (const auto &c : m_cards) {
        if (c.isEmpty())
            continue;
        const bool gap = !next.isEmpty();
        next.append(c);
        next[next.size() - c.size()].gapAbove = gap;
    }
    reconcile(m_rows, next, [](const StatRow &r) { return r.key; },
              [](const StatRow &a, const StatRow &b) { return a.sameAs(b); });
    Q_EMIT stateChanged();
}

int StatsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant StatsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const StatRow &r = m_rows[index.row()];
    switch (role) {
    case KindRole: {
        static const char *const kinds[] = {"title", "member", "account", "source", "resultHead", "result", "mirror"};
        return QString::fromLatin1(kinds[r.kind]);
    }
    case GapAboveRole: return r.gapAbove;
    case CardEndRole: return r.cardEnd;
    case TitleRole: return r.title;
    case LabelRole: return r.label;
    case FracRole: return r.frac;
    case ShareRole: return r.share;
    case MoneyRole: return r.money;
    case NoteRole: return r.note;
    case Note2Role: return r.note2;
    case ResetRole: return r.resetsAt > 0 ? fmt::countdown(r.resetsAt) : QString();
    case ToneRole: return r.tone;
    case PosRole: return r.pos;
    case LinesRole: return r.lines;
    case CommitsRole: return r.commits;
    case PrsRole: return r.prs;
    case AcceptRole: return r.accept;
    case CplRole: return r.cpl;
    default: return {};
    }
}

QHash<int, QByteArray> StatsModel::roleNames() const
{
    return {{KindRole, "kind"},   {GapAboveRole, "gapAbove"}, {CardEndRole, "cardEnd"}, {TitleRole, "title"},
            {LabelRole, "label"}, {FracRole, "frac"},         {ShareRole, "share"},     {MoneyRole, "money"},
            {NoteRole, "note"},   {Note2Role, "note2"},       {ResetRole, "reset"},     {ToneRole, "tone"},
            {PosRole, "pos"},     {LinesRole, "lines"},       {CommitsRole, "commits"}, {PrsRole, "prs"},
            {AcceptRole, "accept"}, {CplRole, "cpl"}};
}

QVariantList StatsModel::scopes()
{
    return {choiceItem(Stat::Scope::Week, QStringLiteral("Неделя")), choiceItem(Stat::Scope::Month, QStringLiteral("Месяц"))};
}

Stat::Scope StatsModel::scope() const { return m_store ? m_store->stats()->scope() : Stat::Scope::Week; }

bool StatsModel::showSpinner() const
{
    return m_store && m_store->stats()->loading() && m_store->stats()->members().isEmpty() && m_store->stats()->results().isEmpty();
}

bool StatsModel::showPlaceholder() const
{
    return m_store && !m_store->stats()->loading() && m_rows.isEmpty();
}

void StatsModel::shown()
{
    if (m_store)
        m_store->loadStats();
}

void StatsModel::refresh()
{
    if (m_store)
        m_store->loadStats();
}

void StatsModel::chooseScope(Stat::Scope scope)
{
    if (m_store)
        m_store->setStatScopeAndLoad(scope);
}

#include "acview.h"

#include "clock.h"
#include "format.h"
#include "providers.h"

#include <cmath>

namespace acview {

namespace {

const QString kDash = QStringLiteral("—");
const QString kText = QStringLiteral("text");
const QString kSecondary = QStringLiteral("textSecondary");
const QString kTertiary = QStringLiteral("textTertiary");
const QString kOk = QStringLiteral("ok");
const QString kWarn = QStringLiteral("warn");
const QString kDanger = QStringLiteral("danger");

// Beyond this a figure is no real amount of money or percentage; it shows as "—".
constexpr double kHuge = 1e15;

bool sane(double v) { return std::isfinite(v) && std::fabs(v) < kHuge; }

} // namespace

QString percent(double pct)
{
    const std::optional<QString> w = whole(pct);
    return w ? *w + u'%' : kDash;
}

std::optional<QString> whole(double v)
{
    if (!std::isfinite(v) || std::fabs(v) >= 9.2e18)
        return std::nullopt;
    return QString::number(static_cast<qint64>(std::trunc(v)));
}

QString money(double v)
{
    if (!sane(v))
        return kDash;
    return v > 0 ? QString::asprintf("$%.2f", v) : QStringLiteral("$0");
}

QString cost(double v)
{
    return sane(v) ? QString::asprintf("$%.2f", v) : kDash;
}

QString cellGaugeText(double pct)
{
    return pct > 0 ? percent(pct) : kDash;
}

QString cellGaugeTone(double pct)
{
    if (!(pct > 0))
        return kTertiary;
    if (pct <= 60)
        return kText;
    return pct <= 80 ? kWarn : kDanger;
}

QString cellBarTone(double pct)
{
    if (!(pct > 60))
        return kTertiary;
    return pct <= 80 ? kWarn : kDanger;
}

double fraction(double pct)
{
    if (!std::isfinite(pct) || !(pct > 0))
        return 0;
    return pct >= 100 ? 1 : pct / 100;
}

ProviderCell providerCell(const TeamAcct &a)
{
    ProviderCell c;
    c.label = providerMeta(a.provider).label;
    const bool key = a.authType == QLatin1String("api_key");
    c.authSymbol = key ? QStringLiteral("key.fill") : QStringLiteral("lock.fill");
    c.authText = key ? QStringLiteral("API-ключ") : QStringLiteral("Авторизация");
    if (a.hasMonitor) {
        c.marker = QStringLiteral("✓✓");
        c.markerTone = kOk;
    } else if (a.hasKey || a.inRegistry) {
        c.marker = QStringLiteral("✓");
        c.markerTone = kTertiary;
    }
    return c;
}

TopModelCell topModelCell(const TeamAcct &a)
{
    const std::optional<ScopedModel> m = acpanel::topModel(a);
    if (!m)
        return {kDash, kTertiary};
    const QString tone = m->pct > 80 ? kDanger : m->pct > 60 ? kWarn : kText;
    return {fmt::shortModel(m->model) + u' ' + percent(m->pct), tone};
}

ResetCell fiveResetCell(double t)
{
    if (!(t > 0))
        return {kDash, kTertiary, QString()};
    return {fmt::remainShort(t), t <= Clock::now() ? kTertiary : kText, QString()};
}

ResetCell sevenResetCell(double t)
{
    // remainShort and dateShort are both empty for an unknown time.
    return {fmt::remainShort(t), t <= Clock::now() ? kTertiary : kText, fmt::dateShort(t)};
}

WhoCell whoCell(const TeamAcct &a)
{
    WhoCell c;
    if (a.users.isEmpty())
        return c;
    c.none = false;
    c.name = a.users.front().name;
    c.dotTone = a.users.front().online ? kOk : kTertiary;
    if (a.users.size() >= 2)
        c.more = u'+' + QString::number(a.users.size() - 1);
    return c;
}

PresenceCell presenceCell(const TeamAcct &a)
{
    for (const LiveSession &s : a.liveSessions)
        if (s.active && !s.project.isEmpty())
            return {QStringLiteral("project"), s.project, true, kText};
    if (a.online)
        return {QStringLiteral("online"), QStringLiteral("онлайн"), true, kSecondary};
    if (!(a.lastSeen > 0))
        return {QStringLiteral("none"), kDash, false, kTertiary};
    return {QStringLiteral("seen"), fmt::relSeen(a.lastSeen), false, kTertiary};
}

QString statusPillText(const QString &status)
{
    return status == QLatin1String("hold") ? QStringLiteral("Hold") : QStringLiteral("Active");
}

QString statusPillTone(const QString &status)
{
    return status == QLatin1String("hold") ? kWarn : kOk;
}

QString groupSummary(const acpanel::Group &g)
{
    return QStringLiteral("5ч ") + whole(g.maxFive).value_or(kDash) + QStringLiteral("% · 7д ")
        + whole(g.maxSeven).value_or(kDash) + QStringLiteral("% · ") + money(g.cost);
}

QString groupCount(const acpanel::Group &g)
{
    return QString::number(g.rows.size()) + QStringLiteral(" акк.");
}

QList<RegistryItem> registryItems(const TeamAcct &a)
{
    auto orDash = [](const QString &s) { return s.isEmpty() ? kDash : s; };
    QList<RegistryItem> items;
    items.append({QStringLiteral("План"), orDash(a.plan), kText});
    const QString price = a.price > 0 && sane(a.price)
        ? QString::asprintf("%g", a.price) + u' ' + a.currency : kDash;
    items.append({QStringLiteral("Цена"), price, kText});
    items.append({QStringLiteral("Оплата"), orDash(a.payMethod), kText});

    const fmt::RenewInfo r = fmt::renewInfo(a.renewDate);
    QString renew = kDash;
    if (!a.renewDate.isEmpty())
        renew = r.days.isEmpty() ? r.date : r.date + QStringLiteral(" · ") + r.days;
    items.append({QStringLiteral("Продление"), renew, r.overdue ? kDanger : kText});

    const QString tok = tokens(a);
    items.append({QStringLiteral("Токены in/out"), tok.isEmpty() ? kDash : tok, kText});
    items.append({QStringLiteral("Модель"), a.model.isEmpty() ? kDash : fmt::shortModel(a.model), kText});
    if (a.extraUsagePct >= 0)
        items.append({QStringLiteral("Доп. расход"), percent(a.extraUsagePct), kText});

    QString pulled = kDash;
    if (a.limitsFetchedAt > 0)
        pulled = fmt::relSeen(a.limitsFetchedAt);
    else if (a.limitsSource == QLatin1String("push"))
        pulled = QStringLiteral("push");
    items.append({QStringLiteral("Лимиты (pull)"), pulled, kText});
    items.append({QStringLiteral("Last seen"), a.lastSeen > 0 ? fmt::relSeen(a.lastSeen) : kDash, kText});
    items.append({QStringLiteral("Мониторинг"), a.hasMonitor ? QStringLiteral("постоянный ✓") : kDash,
                  a.hasMonitor ? kOk : kText});
    const bool key = a.authType == QLatin1String("api_key");
    items.append({QStringLiteral("Авторизация"), key ? QStringLiteral("API-ключ") : QStringLiteral("Авторизация"), kText});
    items.append({QStringLiteral("cc_provider"), orDash(a.ccProvider), kText});
    items.append({QStringLiteral("base_url"), orDash(a.baseUrl), kText});
    const QString keyState = key ? (a.hasKey ? QStringLiteral("есть") : QStringLiteral("нет"))
                                 : QStringLiteral("не требуется");
    items.append({QStringLiteral("Ключ"), keyState, kText});
    return items;
}

DeviceLines deviceLines(const Device &d)
{
    DeviceLines l;
    l.name = d.host.isEmpty() ? d.osUser : d.host;
    l.seen = fmt::relSeen(d.lastSeen);
    l.online = d.online;
    QStringList parts;
    for (const QString &p : {d.person, d.osUser, fmt::shortModel(d.model), d.project})
        if (!p.isEmpty())
            parts << p;
    l.details = parts.join(QStringLiteral(" · "));
    if (!d.version.isEmpty())
        l.cc = QStringLiteral("CC ") + d.version;
    if (!d.brRev.isEmpty())
        l.br = QStringLiteral("BR ") + d.brRev;
    l.outdated = fmt::ccOld(d.version);
    l.figures = QStringLiteral("5ч ") + percent(d.fivePct) + QStringLiteral("  7д ") + percent(d.sevenPct);
    return l;
}

QString cardDotTone(const TeamAcct &a)
{
    if (a.online)
        return kOk;
    return a.hasTelemetry ? kTertiary : QStringLiteral("border");
}

QString cardProviderTag(const TeamAcct &a)
{
    return a.provider == QLatin1String("claude") ? QString() : a.provider;
}

QString cardModel(const TeamAcct &a)
{
    return a.model.isEmpty() ? QString() : fmt::shortModel(a.model);
}

QString tokens(const TeamAcct &a)
{
    if (!(a.tokensIn + a.tokensOut > 0))
        return QString();
    return fmt::fmtTokens(a.tokensIn) + QStringLiteral(" / ") + fmt::fmtTokens(a.tokensOut);
}

bool cardPull(const TeamAcct &a) { return a.limitsSource == QLatin1String("pull"); }

Activity cardActivity(const TeamAcct &a)
{
    Activity act;
    const QList<LiveSession> active = a.activeSessions();
    if (!active.isEmpty()) {
        for (qsizetype i = 0; i < active.size() && i < 2; ++i)
            if (!active[i].project.isEmpty())
                act.projects << active[i].project;
        if (active.size() > 2)
            act.more = u'+' + QString::number(active.size() - 2);
        return act;
    }
    if (!a.online && a.lastSeen > 0)
        act.seen = fmt::relSeen(a.lastSeen);
    return act;
}

CardUsers cardUsers(const TeamAcct &a)
{
    CardUsers u;
    u.shown = a.users.mid(0, 3);
    if (a.users.size() > 3)
        u.more = u'+' + QString::number(a.users.size() - 3);
    return u;
}

QString teamGaugeTone(double pct)
{
    if (pct >= 90)
        return kDanger;
    return pct >= 75 ? kWarn : QStringLiteral("accent");
}

QString teamGaugeReset(double reset)
{
    return reset > 0 ? fmt::countdown(reset) : QString();
}

QList<Tile> dashboardTiles(const TeamCounts &c, int accounts)
{
    return {
        {QStringLiteral("Онлайн"), QString::number(c.online) + u'/' + QString::number(c.withTelemetry), kOk,
         QStringLiteral("с телеметрией")},
        {QStringLiteral("Аккаунты"), QString::number(accounts), kText, QStringLiteral("в команде")},
        {QStringLiteral("Расход"), money(c.totalCost), kText, QStringLiteral("суммарно (окно)")},
        {QStringLiteral("Критичные 7д"), QString::number(c.hot), c.hot != 0 ? kDanger : kText,
         QStringLiteral("≥90%")},
    };
}

QString alertsBanner(int unread)
{
    return QStringLiteral("Непрочитанных алертов: ") + QString::number(unread);
}

} // namespace acview

#include "store/historychart.h"

#include "core/acview.h"
#include "core/clock.h"
#include "core/format.h"
#include "store/usagehistory.h"

#include <cmath>
#include <limits>

namespace {
constexpr double kHour = 3600, kDay = 86400;
constexpr int kWeekDays = 7;
// Room right of "now" in the week's chart, so that a five-hour projection ends inside it.
constexpr double kAhead = 12 * kHour;
const QStringList kLabels{QStringLiteral("5 ч"), QStringLiteral("7 д")};

QVariantMap xy(const char *kx, double x, const char *ky, double y)
{
    return {{QLatin1String(kx), x}, {QLatin1String(ky), y}};
}
} // namespace

// Every input redraws the chart once it changes.
template <typename T>
static bool assign(T &member, const T &v)
{
    if (member == v)
        return false;
    member = v;
    return true;
}

void HistoryChart::setProvider(const QString &v) { if (assign(m_provider, v)) Q_EMIT changed(); }
void HistoryChart::setEmail(const QString &v) { if (assign(m_email, v)) Q_EMIT changed(); }
void HistoryChart::setMode(const QString &v) { if (assign(m_mode, v)) Q_EMIT changed(); }

QList<QList<chart::Point>> HistoryChart::series() const
{
    if (m_mode == QLatin1String("spark"))
        return {m_five};
    return {m_five, m_seven};
}

void HistoryChart::update()
{
    UsageHistory *h = source();
    if (h && !m_sourceConn) {
        m_sourceConn = connect(h, &UsageHistory::changed, this, [this](const QString &k) {
            if (k.isEmpty() || k == UsageHistory::key(m_provider, m_email))
                schedule();
        });
    }
    const bool spark = m_mode == QLatin1String("spark");
    if (h)
        h->want(m_provider, m_email, spark ? 1 : kWeekDays);
    const UsageHistory::Entry *e = h ? h->entry(m_provider, m_email) : nullptr;
    const double now = Clock::now();
    m_five = e ? e->five : QList<chart::Point>{};
    m_seven = e && !spark ? e->seven : QList<chart::Point>{};

    m_frame = {};
    m_frame.plot = QRectF(0, 0, std::max(0.0, plotWidth()), std::max(0.0, plotHeight()));
    if (spark) {
        const double reset = m_five.isEmpty() ? 0 : m_five.last().reset;
        m_frame.to = reset > now ? reset : now;
        m_frame.from = m_frame.to - 5 * kHour;
    } else {
        m_frame.from = now - kWeekDays * kDay;
        m_frame.to = now + kAhead;
    }
    m_frame.top = chart::topFor(series());

    m_fiveLine = chart::line(m_frame, m_five);
    m_sevenLine = chart::line(m_frame, m_seven);
    m_fiveProj = chart::projection(m_frame, m_five);
    m_sevenProj = chart::projection(m_frame, m_seven);

    m_resets.clear();
    for (const double t : chart::resets(m_frame, m_five))
        m_resets.append(QVariantMap{{QStringLiteral("x"), chart::map(m_frame, t, 0).x()}, {QStringLiteral("seven"), false}});
    for (const double t : chart::resets(m_frame, m_seven))
        m_resets.append(QVariantMap{{QStringLiteral("x"), chart::map(m_frame, t, 0).x()}, {QStringLiteral("seven"), true}});
    m_guides.clear();
    for (const double g : {80.0, 95.0})
        m_guides.append(QVariantMap{{QStringLiteral("y"), chart::map(m_frame, m_frame.from, g).y()},
                                    {QStringLiteral("label"), acview::percent(g)}});
    m_ticks.clear();
    if (!spark)
        for (const double t : chart::dayStarts(m_frame))
            m_ticks.append(QVariantMap{{QStringLiteral("x"), chart::map(m_frame, t, 0).x()},
                                       {QStringLiteral("label"), fmt::dateShort(t)}});

    const bool any = !m_fiveLine.isEmpty() || !m_sevenLine.isEmpty();
    m_waiting = e && e->pending && e->at <= 0;
    if (m_waiting)
        m_placeholder = QStringLiteral("загружаю историю…");
    else if (!e)
        m_placeholder = QStringLiteral("истории пока нет");
    else if (e->at <= 0)
        m_placeholder = QStringLiteral("история недоступна");
    else
        m_placeholder = any ? QString() : QStringLiteral("истории пока нет");
    m_stale = e && e->failed && e->at > 0 ? QStringLiteral("история от ") + fmt::timeSeen(e->at) : QString();

    // What a screen reader says instead of the picture.
    QString d = spark ? QStringLiteral("Лимит 5 часов с последнего сброса") : QStringLiteral("Лимиты за 7 дней");
    if (any) {
        const QList<QList<chart::Point>> all = series();
        for (qsizetype i = 0; i < all.size(); ++i) {
            if (all[i].isEmpty())
                continue;
            double peak = 0;
            for (const chart::Point &p : all[i])
                if (p.t >= m_frame.from)
                    peak = std::max(peak, p.pct);
            d += QStringLiteral(". ") + kLabels[i] + QStringLiteral(": сейчас ") + acview::percent(all[i].last().pct)
                + QStringLiteral(", наибольшее ") + acview::percent(peak);
            if (!spark)
                d += QStringLiteral(", сбросов ") + QString::number(chart::resets(m_frame, all[i]).size());
            const chart::Projection &p = i == 0 ? m_fiveProj : m_sevenProj;
            if (p.endT > 0 && p.runsOut)
                d += QStringLiteral(", закончится ") + fmt::countdown(p.endT);
        }
    } else {
        d += QStringLiteral(": ") + m_placeholder;
    }
    m_description = d;
    Q_EMIT drawn();
}

QVariantMap HistoryChart::projectionMap(const chart::Projection &p)
{
    QVariantMap m = xy("x1", p.from.x(), "y1", p.from.y());
    m.insert(xy("x2", p.to.x(), "y2", p.to.y()));
    m.insert(QStringLiteral("shown"), p.shown);
    m.insert(QStringLiteral("runsOut"), p.runsOut);
    return m;
}

QVariantMap HistoryChart::probe(double x) const
{
    const chart::Probe p = chart::probe(m_frame, series(), kLabels, x);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto y = [&](qsizetype i) {
        const double v = p.values.value(i, nan);
        return std::isfinite(v) ? chart::map(m_frame, p.t, v).y() : nan;
    };
    QVariantMap m{{QStringLiteral("hit"), p.hit}, {QStringLiteral("x"), p.x}, {QStringLiteral("text"), p.text}};
    m.insert(QStringLiteral("y5"), y(0));
    m.insert(QStringLiteral("y7"), y(1));
    return m;
}

double HistoryChart::step(double x, int dir) const
{
    // From no reading yet, the arrows start at the newest.
    const double t = x < 0 ? std::numeric_limits<double>::max() : chart::timeAt(m_frame, x);
    const double next = chart::step(series(), t, dir < 0 ? -1 : 1);
    if (next == t || next < m_frame.from)
        return x;
    return chart::map(m_frame, next, 0).x();
}

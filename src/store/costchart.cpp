#include "store/costchart.h"

#include "core/acview.h"
#include "core/format.h"
#include "core/providers.h"
#include "store/usagehistory.h"

#include <QHash>
#include <QLocale>

void CostChart::update()
{
    UsageHistory *h = source();
    if (h && !m_sourceConn)
        m_sourceConn = connect(h, &UsageHistory::costChanged, this, &CostChart::schedule);
    if (h)
        h->wantCost(kDays);
    const UsageHistory::Cost empty;
    const UsageHistory::Cost &c = h ? h->cost() : empty;
    m_chart = chart::costChart(c.rows, c.to, kDays, QRectF(0, 0, std::max(0.0, plotWidth()), std::max(0.0, plotHeight())));

    m_bars.clear();
    QHash<QString, QVariantList> rects;
    for (const chart::Bar &b : std::as_const(m_chart.bars)) {
        for (const chart::Segment &s : b.segs) {
            const QRectF r(b.x, s.y, b.w, std::max(1.0, s.h));
            rects[s.provider].append(QVariant::fromValue(
                QList<QPointF>{r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft(), r.topLeft()}));
        }
        m_bars.append(QVariantMap{{QStringLiteral("x"), b.x}, {QStringLiteral("w"), b.w},
                                  {QStringLiteral("text"), chart::barText(b)}});
    }
    m_layers.clear();
    for (const QString &p : std::as_const(m_chart.providers))
        m_layers.append(QVariantMap{{QStringLiteral("color"), providerColorHex(p)}, {QStringLiteral("rects"), rects.value(p)}});
    m_ticks.clear();
    for (qsizetype i = m_chart.bars.size() - 1; i >= 0; i -= 7) {
        const chart::Bar &b = m_chart.bars[i];
        m_ticks.prepend(QVariantMap{{QStringLiteral("x"), b.x + b.w / 2},
                                    {QStringLiteral("label"), QLocale(QLocale::Russian, QLocale::Russia).toString(b.day, QStringLiteral("d MMM"))}});
    }
    m_legend.clear();
    for (const QString &p : std::as_const(m_chart.providers))
        m_legend.append(QVariantMap{{QStringLiteral("label"), providerMeta(p).label},
                                    {QStringLiteral("color"), providerColorHex(p)}});
    m_week = QStringLiteral("за неделю ") + acview::cost(m_chart.week);
    m_top = acview::cost(m_chart.top);

    m_waiting = c.pending && c.at <= 0;
    if (c.at <= 0)
        m_placeholder = c.failed ? QStringLiteral("история расходов недоступна") : QStringLiteral("загружаю расходы…");
    else
        m_placeholder = m_chart.top > 0 ? QString() : QStringLiteral("расходов за 30 дней нет");
    m_stale = c.failed && c.at > 0 ? QStringLiteral("расходы от ") + fmt::timeSeen(c.at) : QString();

    double total = 0;
    for (const chart::Bar &b : std::as_const(m_chart.bars))
        total += b.total;
    m_description = m_placeholder.isEmpty()
        ? QStringLiteral("Расходы команды по дням за 30 дней: всего ") + acview::cost(total) + QStringLiteral(", ")
            + m_week + QStringLiteral(", больше всего за день ") + m_top
        : QStringLiteral("Расходы команды по дням: ") + m_placeholder;
    Q_EMIT drawn();
}

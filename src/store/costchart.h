#pragma once
// The team's cost per day over the last 30 days, stacked by provider, with the last seven days'
// total: the statistics screen's chart. It asks UsageHistory for the rows and follows their
// arrival; QML sets the plot size and draws the bars that come out.

#include "core/chart.h"
#include "store/chartbase.h"

#include <QVariantList>
#include <QtQml/qqmlregistration.h>

class CostChart : public ChartBase
{
    Q_OBJECT
    QML_ELEMENT
    // [{x, w, text}], one per day, oldest first: where the pointer picks a day.
    Q_PROPERTY(QVariantList bars READ bars NOTIFY drawn)
    // [{color, rects}] per provider: every day's segment of it as a closed outline (a list of
    // points), for one filled path per provider rather than an item per segment.
    Q_PROPERTY(QVariantList layers READ layers NOTIFY drawn)
    // [{label, color}] of the providers drawn, largest first.
    Q_PROPERTY(QVariantList legend READ legend NOTIFY drawn)
    // [{x, label}]: the date under every seventh bar, counted back from the last.
    Q_PROPERTY(QVariantList ticks READ ticks NOTIFY drawn)
    Q_PROPERTY(QString weekText READ weekText NOTIFY drawn)
    Q_PROPERTY(QString topText READ topText NOTIFY drawn)
    Q_PROPERTY(QString placeholder READ placeholder NOTIFY drawn)
    Q_PROPERTY(QString staleText READ staleText NOTIFY drawn)
    Q_PROPERTY(QString description READ description NOTIFY drawn)

public:
    static constexpr int kDays = 30;

    explicit CostChart(QObject *parent = nullptr) : ChartBase(parent) {}

    const QVariantList &bars() const { return m_bars; }
    const QVariantList &legend() const { return m_legend; }
    const QVariantList &layers() const { return m_layers; }
    const QVariantList &ticks() const { return m_ticks; }
    const QString &weekText() const { return m_week; }
    const QString &topText() const { return m_top; }
    const QString &placeholder() const { return m_placeholder; }
    const QString &staleText() const { return m_stale; }
    const QString &description() const { return m_description; }
    const chart::CostChart &chart() const { return m_chart; }

    void update() override;

private:
    chart::CostChart m_chart;
    QVariantList m_bars, m_legend, m_ticks, m_layers;
    QString m_week, m_top, m_placeholder, m_stale, m_description;
};

#pragma once
// One account's limit windows as a chart: `week` draws both windows over the last seven days
// with the resets, the 80 and 95 % guides and each window's projection; `spark` draws the
// five-hour window since its last reset, across to its next. The chart asks UsageHistory for
// the readings and follows their arrival; QML sets the plot size and draws what comes out.

#include "core/chart.h"
#include "store/chartbase.h"

#include <QPointF>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class HistoryChart : public ChartBase
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString provider READ provider WRITE setProvider NOTIFY changed)
    Q_PROPERTY(QString email READ email WRITE setEmail NOTIFY changed)
    Q_PROPERTY(QString mode READ mode WRITE setMode NOTIFY changed)

    // The lines as a list of points, handed to PathPolyline as they are. QML sees these and
    // the projections as plain values: a point list and a map are opaque to its type checks.
    Q_PROPERTY(QVariant fiveLine READ fiveLineValue NOTIFY drawn)
    Q_PROPERTY(QVariant sevenLine READ sevenLineValue NOTIFY drawn)
    // {shown, x1, y1, x2, y2, runsOut} of each window's projection.
    Q_PROPERTY(QVariant fiveProjection READ fiveProjectionValue NOTIFY drawn)
    Q_PROPERTY(QVariant sevenProjection READ sevenProjectionValue NOTIFY drawn)
    // [{x, seven}]: where a window began anew.
    Q_PROPERTY(QVariantList resets READ resets NOTIFY drawn)
    // [{y, label}] of the 80 and 95 % guides; [{x, label}] of the day marks.
    Q_PROPERTY(QVariantList guides READ guides NOTIFY drawn)
    Q_PROPERTY(QVariantList ticks READ ticks NOTIFY drawn)
    // Nothing to draw: the quiet line shown instead ("" while there is a chart).
    Q_PROPERTY(QString placeholder READ placeholder NOTIFY drawn)
    // The newest load failed and older readings are shown: how old ("" otherwise).
    Q_PROPERTY(QString staleText READ staleText NOTIFY drawn)
    Q_PROPERTY(QString description READ description NOTIFY drawn)
    Q_PROPERTY(bool empty READ empty NOTIFY drawn)

public:
    explicit HistoryChart(QObject *parent = nullptr) : ChartBase(parent) {}

    const QString &provider() const { return m_provider; }
    const QString &email() const { return m_email; }
    const QString &mode() const { return m_mode; }
    void setProvider(const QString &v);
    void setEmail(const QString &v);
    void setMode(const QString &v);

    const QList<QPointF> &fiveLine() const { return m_fiveLine; }
    const QList<QPointF> &sevenLine() const { return m_sevenLine; }
    QVariantMap fiveProjection() const { return projectionMap(m_fiveProj); }
    QVariantMap sevenProjection() const { return projectionMap(m_sevenProj); }
    QVariant fiveLineValue() const { return QVariant::fromValue(m_fiveLine); }
    QVariant sevenLineValue() const { return QVariant::fromValue(m_sevenLine); }
    QVariant fiveProjectionValue() const { return fiveProjection(); }
    QVariant sevenProjectionValue() const { return sevenProjection(); }
    const QVariantList &resets() const { return m_resets; }
    const QVariantList &guides() const { return m_guides; }
    const QVariantList &ticks() const { return m_ticks; }
    const QString &placeholder() const { return m_placeholder; }
    const QString &staleText() const { return m_stale; }
    const QString &description() const { return m_description; }
    bool empty() const { return !m_placeholder.isEmpty(); }
    const chart::Frame &frame() const { return m_frame; }

    // The reading under the pointer at `x`: {hit, x, y5, y7 (NaN where none), text}.
    Q_INVOKABLE QVariantMap probe(double x) const;
    // The x of the next (dir > 0) or previous reading from `x`, for the arrow keys.
    Q_INVOKABLE double step(double x, int dir) const;

    void update() override;

private:
    static QVariantMap projectionMap(const chart::Projection &p);
    QList<QList<chart::Point>> series() const;

    QString m_provider, m_email, m_mode = QStringLiteral("week");

    QList<chart::Point> m_five, m_seven;
    chart::Frame m_frame;
    QList<QPointF> m_fiveLine, m_sevenLine;
    chart::Projection m_fiveProj, m_sevenProj;
    QVariantList m_resets, m_guides, m_ticks;
    QString m_placeholder, m_stale, m_description;
};

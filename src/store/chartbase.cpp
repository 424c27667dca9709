#include "store/chartbase.h"

#include "store/forecasts.h"
#include "store/ticker.h"
#include "store/usagehistory.h"

ChartBase::ChartBase(QObject *parent)
    : QObject(parent)
{
    connect(this, &ChartBase::changed, this, &ChartBase::schedule);
    connect(Ticker::instance(), &Ticker::ticked, this, &ChartBase::schedule);
}

UsageHistory *ChartBase::source() const
{
    if (m_source)
        return m_source;
    Forecasts *f = Forecasts::instance();
    return f ? f->usage() : nullptr;
}

void ChartBase::setSource(UsageHistory *h)
{
    m_source = h;
    disconnect(m_sourceConn);
    m_sourceConn = {};
    schedule();
}

void ChartBase::setPlotWidth(double v)
{
    if (m_w != v) {
        m_w = v;
        Q_EMIT changed();
    }
}

void ChartBase::setPlotHeight(double v)
{
    if (m_h != v) {
        m_h = v;
        Q_EMIT changed();
    }
}

void ChartBase::schedule()
{
    // QML assigns the inputs one by one: draw once they are all in.
    if (m_queued)
        return;
    m_queued = true;
    QMetaObject::invokeMethod(this, [this] {
        m_queued = false;
        update();
    }, Qt::QueuedConnection);
}

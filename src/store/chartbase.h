#pragma once
// What the usage charts share: the history they read (by default the application's), the plot
// size QML hands them, a redraw on every tick of the views' clock (the frame moves on and stale
// history is asked again), and one redraw per turn of the event loop however many of those
// change at once.

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class UsageHistory;

class ChartBase : public QObject
{
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(double plotWidth READ plotWidth WRITE setPlotWidth NOTIFY changed)
    Q_PROPERTY(double plotHeight READ plotHeight WRITE setPlotHeight NOTIFY changed)

public:
    explicit ChartBase(QObject *parent = nullptr);
    void setSource(UsageHistory *h);

    double plotWidth() const { return m_w; }
    double plotHeight() const { return m_h; }
    void setPlotWidth(double v);
    void setPlotHeight(double v);

    // Recomputes now rather than on the next turn of the event loop (tests, benchmarks).
    virtual void update() = 0;
    // The first answer has not come yet: the chart shows that it is loading.
    bool waiting() const { return m_queued || m_waiting; }

Q_SIGNALS:
    void changed();
    void drawn();

protected:
    UsageHistory *source() const;
    void schedule();

    QPointer<UsageHistory> m_source;
    QMetaObject::Connection m_sourceConn;
    bool m_waiting = true;

private:
    double m_w = 0, m_h = 0;
    bool m_queued = false;
};

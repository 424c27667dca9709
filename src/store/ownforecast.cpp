#include "store/ownforecast.h"

#include "store/forecasts.h"
#include "store/ticker.h"

OwnForecast::OwnForecast(QObject *parent)
    : QObject(parent)
{
    connect(Ticker::instance(), &Ticker::ticked, this, &OwnForecast::refresh);
    if (const Forecasts *f = Forecasts::instance())
        connect(f, &Forecasts::revisionChanged, this, &OwnForecast::refresh);
}

void OwnForecast::setAcct(const QVariant &v)
{
    // The accounts are handed over anew with every refresh: an account whose line reads the same
    // fields as before changes nothing (its new readings arrive through Forecasts).
    const Acct a = v.canConvert<Acct>() ? v.value<Acct>() : Acct();
    if (a.email == m_acct.email && a.project == m_acct.project && a.provider == m_acct.provider
        && a.fiveReset == m_acct.fiveReset && a.sevenReset == m_acct.sevenReset)
        return;
    m_acct = a;
    refresh();
    Q_EMIT acctChanged();
}

void OwnForecast::setWindow(Window w)
{
    if (m_window == w)
        return;
    m_window = w;
    refresh();
    Q_EMIT windowChanged();
}

void OwnForecast::refresh()
{
    const Forecasts *f = Forecasts::instance();
    forecast::Line l;
    if (f && !m_acct.email.isEmpty())
        l = f->line(m_acct, m_window == Window::Five ? QStringLiteral("five") : QStringLiteral("seven"));
    const QString tone = forecastTone(l);
    if (l.text == m_text && tone == m_tone)
        return;
    m_text = l.text;
    m_tone = tone;
    Q_EMIT lineChanged();
}

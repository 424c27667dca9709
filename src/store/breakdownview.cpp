#include "store/breakdownview.h"

#include "core/clock.h"
#include "core/decode.h"
#include "core/format.h"
#include "core/uirules.h"

#include <cmath>
#include "store/store.h"

BreakdownView::BreakdownView(QObject *parent)
    : QObject(parent)
{
}

Store *BreakdownView::store() const
{
    return m_store ? m_store.data() : Store::instance();
}

void BreakdownView::setStore(Store *s)
{
    if (m_store == s)
        return;
    m_store = s;
    Q_EMIT storeChanged();
}

void BreakdownView::setProvider(const QString &p)
{
    if (m_provider == p)
        return;
    m_provider = p;
    Q_EMIT providerChanged();
    accountChanged();
}

void BreakdownView::setEmail(const QString &e)
{
    if (m_email == e)
        return;
    m_email = e;
    Q_EMIT emailChanged();
    accountChanged();
}

void BreakdownView::accountChanged()
{
    // A block handed another account (a view reusing it) shows nothing of the previous one: it
    // starts over, once both halves of the new identity have arrived.
    if (m_building || !m_started)
        return;
    ++m_seq; // an answer still on its way is for the previous account
    clearData();
    setLoaded(false);
    Q_EMIT dataChanged();
    if (m_reloadQueued)
        return;
    m_reloadQueued = true;
    QMetaObject::invokeMethod(this, [this] {
        m_reloadQueued = false;
        load();
    }, Qt::QueuedConnection);
}

void BreakdownView::clearData()
{
    // Nothing kept belongs to another account or scope, so a failed load never shows it as this one.
    m_rows.clear();
    m_residual = m_observed = m_resetsAt = 0;
    m_failed = false;
    m_dataAt = 0;
}

QVariantList BreakdownView::segs() const
{
    decode::Breakdown b;
    b.rows = m_rows;
    b.residualPct = m_residual;
    QVariantList out;
    for (const decode::Segment &s : decode::segments(b))
        out.append(QVariantMap{{QStringLiteral("name"), s.name},
                               {QStringLiteral("pct"), s.pct},
                               {QStringLiteral("pctText"), pctText(s.pct)},
                               {QStringLiteral("color"), s.color}});
    return out;
}

QString BreakdownView::pctText(double pct)
{
    if (!std::isfinite(pct) || std::fabs(pct) >= 1e15)
        return QStringLiteral("—");
    return QString::asprintf("%.1f%%", pct);
}

double BreakdownView::segmentWidth(double pct, double available)
{
    // At least 2 px so that a person with no share still shows; never more than the bar.
    const double w = pct / 100 * available;
    if (!std::isfinite(w) || !(w > 2))
        return 2;
    return w < available ? w : available;
}

QVariantList BreakdownView::scopes()
{
    return {QVariantMap{{QStringLiteral("key"), QStringLiteral("week")}, {QStringLiteral("label"), QStringLiteral("Неделя")}},
            QVariantMap{{QStringLiteral("key"), QStringLiteral("month")}, {QStringLiteral("label"), QStringLiteral("Месяц")}}};
}

QString BreakdownView::summary() const
{
    // The whole part of the observed share, printed from the double so no value can overflow.
    const double whole = std::isfinite(m_observed) ? std::trunc(m_observed) : 0;
    QString s = QStringLiteral("доля ")
        + (m_scope == QLatin1String("week") ? QStringLiteral("недельного") : QStringLiteral("месячного"))
        + QStringLiteral(" лимита · ") + QString::number(whole == 0 ? 0 : whole, 'f', 0)
        + QStringLiteral("% использовано");
    if (m_resetsAt > 0)
        s += QStringLiteral(" · сброс ") + fmt::dateShort(m_resetsAt) + QStringLiteral(" · ")
            + fmt::remainShort(m_resetsAt);
    return s;
}

QString BreakdownView::stateText() const
{
    if (!m_loaded)
        return QStringLiteral("считаю…");
    if (!segs().isEmpty())
        return QString();
    // A failure with nothing kept is said as such, never as an account nobody used.
    return m_failed ? ui::staleLine(true, 0) : QStringLiteral("нет данных");
}

QString BreakdownView::staleText() const
{
    return m_failed && m_loaded && !segs().isEmpty() ? ui::staleLine(true, m_dataAt) : QString();
}

void BreakdownView::setLoaded(bool v)
{
    if (m_loaded == v)
        return;
    m_loaded = v;
    Q_EMIT loadedChanged();
    Q_EMIT dataChanged(); // the state line follows the loaded flag
}

void BreakdownView::load()
{
    m_started = true;
    Store *s = store();
    if (!s) {
        // No store to ask: show the empty state rather than spin for ever.
        setLoaded(true);
        return;
    }
    // A slow answer for a scope the user has already left must not replace the current one.
    const quint64 seq = ++m_seq;
    s->fetchBreakdown(m_provider, m_email, m_scope, this, [this, seq](const Store::BreakdownResult &r) {
        if (seq != m_seq)
            return;
        m_failed = !r.ok;
        if (r.ok) {
            m_rows = r.rows;
            m_residual = r.residualPct;
            m_observed = r.observedPct;
            m_resetsAt = r.resetsAt;
            m_dataAt = Clock::now();
        }
        Q_EMIT dataChanged();
        setLoaded(true);
    });
}

void BreakdownView::selectScope(const QString &scope)
{
    if (m_scope != scope) {
        m_scope = scope;
        clearData();
        Q_EMIT scopeChanged();
        Q_EMIT dataChanged();
    }
    if (m_building)
        return; // the initial value; componentComplete loads it
    setLoaded(false);
    load();
}

void BreakdownView::componentComplete()
{
    m_building = false;
    if (!m_loaded)
        load();
}

#include "store/teamrules.h"

#include "core/format.h"
#include "core/uirules.h"

#include <QMap>
#include <QVariantMap>
#include <cmath>

namespace statui {

double finite(double v) { return std::isfinite(v) ? v : 0; }

namespace {
template<typename List, typename Get>
double maxOf(const List &list, Get get)
{
    double m = 1;
    for (const auto &r : list)
        m = std::max(m, finite(get(r)));
    return m;
}
} // namespace

double maxMemberPts(const QList<StatMember> &members)
{
    return maxOf(members, [](const StatMember &m) { return m.points; });
}

double maxAcctPts(const QList<StatAccount> &accounts)
{
    return maxOf(accounts, [](const StatAccount &a) { return a.totalPoints; });
}

double frac(double part, double whole)
{
    part = finite(part);
    whole = finite(whole);
    if (!(whole > 0))
        return 0;
    return ui::clamp01(part / whole);
}

QString money(double v)
{
    v = finite(v);
    return v > 0 ? QString::asprintf("$%.2f", v) : QStringLiteral("$0");
}

QString pct(double v)
{
    // Printed from the truncated double itself: no integer conversion that a huge value
    // could overflow, and no "-0" for small negative values.
    const double n = std::trunc(finite(v));
    return (n == 0 ? QStringLiteral("0") : QString::number(n, 'f', 0)) + u'%';
}

QString sourceLabel(const QString &source)
{
    if (source == QLatin1String("terminal"))
        return QStringLiteral("Терминал");
    if (source == QLatin1String("cowork"))
        return QStringLiteral("Cowork · Desktop");
    if (source == QLatin1String("chat"))
        return QStringLiteral("Чат");
    return source;
}

QString acceptText(double rate)
{
    if (!std::isfinite(rate))
        return pct(0);
    return rate >= 0 ? pct(rate * 100) : QStringLiteral("—");
}

QString costPerLineText(double v)
{
    if (!std::isfinite(v))
        v = 0;
    return v >= 0 ? QString::asprintf("$%.3f", v) : QStringLiteral("—");
}

QString mirrorTone(double pct) { return ui::gaugeTone(finite(pct)); }

bool sourcesShown(const QList<StatSource> &sources)
{
    for (const StatSource &s : sources)
        if (finite(s.cost) > 0)
            return true;
    return false;
}

} // namespace statui

namespace actui {

QString headerText(const ActPerson &p)
{
    return fmt::fmtDur(p.activeSec) + QStringLiteral(" · ") + statui::money(p.cost) + QStringLiteral(" · ")
        + QString::number(p.sessions) + QStringLiteral(" сес.");
}

QString offworkText(const ActPerson &p)
{
    return p.offworkSec >= 1 ? QStringLiteral("вне рабочих: ") + fmt::fmtDur(p.offworkSec) : QString();
}

QString projectDuration(qint64 seconds) { return fmt::fmtDur(seconds); }

QVariantList chips(const ActPerson &p)
{
    QVariantList out;
    const qsizetype n = std::min<qsizetype>(p.projects.size(), 6);
    for (qsizetype i = 0; i < n; ++i) {
        const ActProject &pr = p.projects[i];
        out.append(QVariantMap{{QStringLiteral("label"), pr.name.isEmpty() ? QStringLiteral("—") : pr.name},
                               {QStringLiteral("value"), projectDuration(pr.seconds)},
                               {QStringLiteral("flag"), pr.isWork}});
    }
    return out;
}

} // namespace actui

namespace roster {

QList<Dept> departments(const QList<Member> &members)
{
    QMap<QString, int> counts; // QString's operator< is the plain character order
    for (const Member &m : members)
        if (!m.department.isEmpty())
            ++counts[m.department];
    QList<Dept> out;
    out.reserve(counts.size());
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        out.append({it.key(), it.value()});
    return out;
}

QString normQuery(const QString &query) { return query.trimmed().toLower(); }

Row row(const Member &m)
{
    Row r;
    r.m = m;
    r.name = m.name.toLower();
    r.spec = m.specialization.toLower();
    r.dept = m.department.toLower();
    r.hay = (m.name + u' ' + m.memberId + u' ' + m.specialization + u' ' + m.department + u' ' + m.email + u' '
             + m.telegram)
                .toLower();
    return r;
}

bool accepts(const Row &r, Tm::Type type, const QString &dept, const QString &q)
{
    if (type != Tm::Type::All && r.m.memberType != keys::keyView(type))
        return false;
    if (!dept.isEmpty() && r.m.department != dept)
        return false;
    return q.isEmpty() || r.hay.contains(q);
}

namespace {
int cmp(double a, double b)
{
    a = statui::finite(a);
    b = statui::finite(b);
    return a < b ? -1 : (b < a ? 1 : 0);
}
int cmpText(const QString &a, const QString &b)
{
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
} // namespace

int compare(const Row &a, const Row &b, Tm::Sort key, bool asc)
{
    int c = 0;
    switch (key) {
    case Tm::Sort::Name: c = cmpText(a.name, b.name); break;
    case Tm::Sort::Spec: c = cmpText(a.spec, b.spec); break;
    case Tm::Sort::Dept: c = cmpText(a.dept, b.dept); break;
    case Tm::Sort::Accounts: c = cmp(double(a.m.nAccounts), double(b.m.nAccounts)); break;
    case Tm::Sort::Seen: c = cmp(a.m.lastSeen, b.m.lastSeen); break;
    case Tm::Sort::Online:
        // Online first, then the most recently seen; the direction does not apply.
        if (a.m.online != b.m.online)
            return a.m.online ? -1 : 1;
        return -cmp(a.m.lastSeen, b.m.lastSeen);
    }
    return asc ? c : -c;
}

SortState chooseSort(const SortState &current, Tm::Sort chosen)
{
    if (chosen != current.key)
        return {chosen, false};
    return {current.key, !current.asc};
}

QString cardTitle(const Member &m) { return m.name.isEmpty() ? m.memberId : m.name; }

QString loginLine(const Member &m)
{
    if (m.specialization.isEmpty() && m.department.isEmpty())
        return QStringLiteral("логин: ") + m.memberId;
    return QString();
}

QString presenceText(const Member &m)
{
    return m.online ? QStringLiteral("● онлайн") : fmt::relSeen(m.lastSeen);
}

QString accountsText(const Member &m) { return QString::number(m.nAccounts) + QStringLiteral(" акк."); }

} // namespace roster

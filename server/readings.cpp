#include "readings.h"

#include "history.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>

#include <cmath>

namespace {

// Alert levels of a window: past 80 %, past 95 %, used up.
int levelOf(double pct) { return pct >= 100 ? 3 : pct >= 95 ? 2 : pct >= 80 ? 1 : 0; }

// Two readings belong to the same window when they name the same reset (give or take the
// rounding a provider applies).
bool sameWindow(double a, double b) { return a > 0 && b > 0 && std::abs(a - b) < 120; }

struct Stored {
    double pct = 0, resetsAt = 0, at = 0;
    int alert = 0;
    double alertReset = 0;
};

void raiseAlert(Db &db, const WindowReading &r, const char *name, double pct, int level) {
    const QString label = QString::fromUtf8(name);
    const QString title = level >= 3 ? QStringLiteral("%1 исчерпан: %2%").arg(label).arg(std::round(pct))
                                     : QStringLiteral("%1: %2%").arg(label).arg(std::round(pct));
    db.exec("INSERT INTO events(ts, severity, title, account_email, ack) VALUES(?,?,?,?,0)",
            {r.at, level >= 2 ? "critical" : "warning", title, r.email});
}

// Applies one window of the reading to what is stored; returns whether it was taken.
bool apply(Db &db, const WindowReading &r, const std::optional<Window> &w, Stored &s, const char *label) {
    if (!w || r.at < s.at) return false;
    // Each level is announced once per window: a new reset starts the count again.
    const int already = sameWindow(s.alertReset, w->resetsAt) ? s.alert : 0;
    const int level = levelOf(w->pct);
    if (level > already) {
        raiseAlert(db, r, label, w->pct, level);
        s.alert = level;
        s.alertReset = w->resetsAt;
    } else if (!sameWindow(s.alertReset, w->resetsAt)) {
        s.alert = level;
        s.alertReset = w->resetsAt;
    }
    s.pct = w->pct;
    s.resetsAt = w->resetsAt;
    s.at = r.at;
    return true;
}

} // namespace

bool recordWindowReading(Db &db, Tx &tx, const WindowReading &r) {
    if (r.email.isEmpty() || r.provider.isEmpty()) return false;
    db.exec("INSERT INTO account_state(provider, email, has_telemetry) VALUES(?,?,1) "
            "ON CONFLICT(provider, email) DO NOTHING", {r.provider, r.email});
    QSqlQuery q = db.exec("SELECT five_hour_pct, five_hour_resets_at, five_hour_at, five_hour_alert, "
                          "five_hour_alert_reset, seven_day_pct, seven_day_resets_at, seven_day_at, "
                          "seven_day_alert, seven_day_alert_reset, burn_eta, limits_source, fetched_at, model, "
                          "version FROM account_state WHERE provider = ? AND email = ?", {r.provider, r.email});
    if (!q.next()) return false;
    Stored five{q.value(0).toDouble(), q.value(1).toDouble(), q.value(2).toDouble(), q.value(3).toInt(),
                q.value(4).toDouble()};
    Stored seven{q.value(5).toDouble(), q.value(6).toDouble(), q.value(7).toDouble(), q.value(8).toInt(),
                 q.value(9).toDouble()};
    double eta = q.value(10).toDouble();
    const QString source = q.value(11).toString(), model = q.value(13).toString(), version = q.value(14).toString();
    const double fetchedAt = q.value(12).toDouble();
    q.finish();

    // The history keeps every reading as measured; it drops repeats and readings older than its
    // last one itself.
    if (r.five) history::recordWindow(db, r.provider, r.email, "five_hour", r.five->pct, r.five->resetsAt, r.source, r.at);
    if (r.seven) history::recordWindow(db, r.provider, r.email, "seven_day", r.seven->pct, r.seven->resetsAt, r.source, r.at);

    const Stored before = five, sevenBefore = seven;
    const double etaBefore = eta;
    const bool fiveTaken = apply(db, r, r.five, five, "Лимит 5 часов");
    const bool sevenTaken = apply(db, r, r.seven, seven, "Лимит 7 дней");
    if (fiveTaken) {
        // The forecast follows the rise since the previous reading of the same window; a new
        // window, or figures that stopped rising, have none.
        if (!sameWindow(before.resetsAt, five.resetsAt)) eta = 0;
        else if (five.pct > before.pct && r.at > before.at && five.pct < 100) {
            const double perSecond = (five.pct - before.pct) / (r.at - before.at);
            eta = r.at + (100 - five.pct) / perSecond;
            if (eta >= five.resetsAt) eta = 0;
        } else if (five.pct <= before.pct || five.pct >= 100) {
            eta = 0;
        }
    }
    if (!fiveTaken && !sevenTaken) return false;
    db.exec(QStringLiteral("UPDATE account_state SET five_hour_pct = ?, five_hour_resets_at = ?, five_hour_at = ?, "
                           "five_hour_alert = ?, five_hour_alert_reset = ?, seven_day_pct = ?, seven_day_resets_at = ?, "
                           "seven_day_at = ?, seven_day_alert = ?, seven_day_alert_reset = ?, burn_eta = ?, "
                           "limits_source = ?, fetched_at = %1, has_telemetry = 1, "
                           "model = CASE WHEN ? <> '' THEN ? ELSE model END, "
                           "version = CASE WHEN ? <> '' THEN ? ELSE version END "
                           "WHERE provider = ? AND email = ?")
                .arg(db.greatest("fetched_at", "?")),
            {five.pct, five.resetsAt, five.at, five.alert, five.alertReset, seven.pct, seven.resetsAt, seven.at,
             seven.alert, seven.alertReset, eta, r.source, r.at, r.model, r.model, r.version, r.version,
             r.provider, r.email});
    if (!r.member.isEmpty())
        db.exec("UPDATE devices SET five_hour_pct = ?, seven_day_pct = ? WHERE provider = ? AND email = ? "
                "AND member_id = ? AND device_host = ?",
                {five.pct, seven.pct, r.provider, r.email, r.member, r.host});
    // What is shown changed, or how old it is by more than a minute: the answers built from it
    // are stale. A reading that only confirms the figures a moment later leaves them be, so that
    // a team's status lines do not rebuild every answer several times a second.
    const auto same = [](const Stored &a, const Stored &b) {
        return a.pct == b.pct && a.resetsAt == b.resetsAt && a.alert == b.alert;
    };
    if (!same(five, before) || !same(seven, sevenBefore) || eta != etaBefore || source != r.source ||
        r.at - fetchedAt >= 60 || (!r.model.isEmpty() && r.model != model) ||
        (!r.version.isEmpty() && r.version != version))
        tx.touch(Topic::Team);
    return true;
}

QByteArray readingToJson(const WindowReading &r) {
    QJsonObject o{{"provider", r.provider}, {"source", r.source}, {"at", r.at}, {"model", r.model},
                  {"version", r.version}, {"host", r.host}};
    if (r.five) o["five"] = QJsonObject{{"pct", r.five->pct}, {"resets_at", r.five->resetsAt}};
    if (r.seven) o["seven"] = QJsonObject{{"pct", r.seven->pct}, {"resets_at", r.seven->resetsAt}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<WindowReading> readingFromJson(const QByteArray &json) {
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    if (o.isEmpty()) return std::nullopt;
    WindowReading r;
    r.provider = o.value("provider").toString();
    r.source = o.value("source").toString();
    r.at = o.value("at").toDouble();
    r.model = o.value("model").toString();
    r.version = o.value("version").toString();
    r.host = o.value("host").toString();
    for (auto [key, slot] : {std::pair{"five", &r.five}, std::pair{"seven", &r.seven}})
        if (o.value(key).isObject()) {
            const QJsonObject w = o.value(key).toObject();
            *slot = Window{w.value("pct").toDouble(), w.value("resets_at").toDouble()};
        }
    return r;
}

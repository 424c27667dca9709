#pragma once
// Small helpers for the decoder tests: JSON literals written as text, one account with every key
// set, and the fields of a decoded record compared with another one through its properties.

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QMetaProperty>
#include <QStringList>

// Parses a JSON object literal; a typo in a test fails loudly instead of decoding as {}.
inline QJsonObject obj(const char *json)
{
    QJsonParseError err;
    const QJsonDocument d = QJsonDocument::fromJson(QByteArray(json), &err);
    if (err.error != QJsonParseError::NoError || !d.isObject())
        qFatal("bad JSON in test: %s (%s)", json, qPrintable(err.errorString()));
    return d.object();
}

// The value of "v" in {"v": <json>}: lets a test write any JSON value as text.
inline QJsonValue val(const char *json)
{
    return obj((QByteArray("{\"v\":") + json + "}").constData()).value(QLatin1String("v"));
}

// The text, number and flag fields of gadget `r`, as "name=value", that are the same as in `base`
// (same = true) or that differ from it. With `r` decoded from an object that sets every key to
// something else than its default, a field still the same as in a default record is a key the
// decoder never read:  QCOMPARE(fields(decoded, Member(), true), QStringList());
template <typename R>
QStringList fields(const R &r, const R &base, bool same)
{
    QStringList out;
    const QMetaObject &mo = R::staticMetaObject;
    for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
        const QVariant v = mo.property(i).readOnGadget(&r);
        const int t = v.typeId();
        if (qstrcmp(mo.property(i).name(), "key") != 0 // a record's list key: fresh on every load
            && (t == QMetaType::QString || t == QMetaType::Double || t == QMetaType::Bool || t == QMetaType::LongLong)
            && (v == mo.property(i).readOnGadget(&base)) == same)
            out << QString::fromLatin1(mo.property(i).name()) + u'=' + v.toString();
    }
    return out;
}

// One field of every record of a list, e.g. pluck(accounts, &TeamAcct::email).
template <typename L, typename F>
QStringList pluck(const L &list, F field)
{
    QStringList out;
    for (const auto &x : list)
        out << x.*field;
    return out;
}

// (No "//" inside the raw JSON below: moc would read it as a comment.)
// One account of "/api/accounts" with every field set to something other than its default, nested
// lists included.
inline const char *const kFullAccount = R"({
  "email": "a@x.io", "provider": "DeepSeek", "member_name": "Анна", "member_id": "m1",
  "group_name": "core", "status": "HOLD", "auth_type": "OAuth", "has_key": true,
  "has_monitor": true, "in_registry": true, "five_hour_pct": 41.5, "five_hour_resets_at": 1700000000,
  "seven_day_pct": 77, "seven_day_resets_at": 1700500000, "cost_usd": 12.25, "total_input": 1000,
  "total_output": 2000, "model": "claude-opus-4", "version": "2.0.150", "last_seen": 1699999999,
  "online": true, "has_telemetry": true,
  "limits": {"source": "oauth", "fetched_at": 1699990000, "severity": "warn", "extra_usage_pct": 12,
             "weekly_scoped": [{"model": "opus", "pct": 33}, {"pct": 5}, {"model": "sonnet", "pct": 10}]},
  "plan": "Max", "price": 200, "currency": "USD", "pay_method": "card", "renew_date": "2026-12-05",
  "notes": "n", "cc_provider": "zai", "base_url": "https:\/\/b", "five_hour_burn": {"eta": 1700001000},
  "live_sessions": [{"project": "p1", "person": "Анна", "model": "opus", "active": true}, {},
                    {"project": "p2", "active": true}],
  "users": [{"name": "Анна", "online": true}, {"online": true}, {"name": ""}, {"name": "Bob"}],
  "devices": [{"device_host": "h1", "os_user": "u", "person": "Анна", "model": "m", "version": "2.0.1",
               "br_rev": "r1", "project": "p", "five_hour_pct": 1, "seven_day_pct": 2, "cost_usd": 3,
               "last_seen": 4, "online": true}, {}]
})";

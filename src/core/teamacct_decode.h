#pragma once
// The decoding of one team account object, written once over a "reader" of a JSON object so that
// Qt's JSON values and simdjson's DOM decode by the very same rules. A reader offers, for a key:
//   isString(k), text(k[, def]): the value only when it is a JSON string;
//   number(k[, def]): a JSON number, or a boolean as 1/0, else def;
//   flag(k): a JSON boolean only;
//   object(k): the value as an object reader (empty when absent or not an object);
//   eachObject(k, f): f(reader) for each element, only when the value is an array of objects.
// Internal to the core: include it only where a reader is defined.

#include "teamacct.h"

template<class R>
TeamAcct decodeTeamAcct(const R &o)
{
    TeamAcct a;
    a.email = o.isString("email") ? o.text("email") : o.text("account_email");
    // Defaults apply before lower-casing.
    a.provider = o.text("provider", QStringLiteral("claude")).toLower();
    a.memberId = o.text("member_id");
    const QString memberName = o.text("member_name");
    a.owner = memberName.isEmpty() ? a.memberId : memberName;
    a.group = o.text("group_name");
    a.status = o.text("status", QStringLiteral("active")).toLower();
    a.authType = o.text("auth_type").toLower();
    a.hasKey = o.flag("has_key");
    a.hasMonitor = o.flag("has_monitor");
    a.inRegistry = o.flag("in_registry");
    a.fivePct = o.number("five_hour_pct");
    a.fiveReset = o.number("five_hour_resets_at");
    a.sevenPct = o.number("seven_day_pct");
    a.sevenReset = o.number("seven_day_resets_at");
    a.cost = o.number("cost_usd");
    a.tokensIn = o.number("total_input");
    a.tokensOut = o.number("total_output");
    a.model = o.text("model");
    a.version = o.text("version");
    a.lastSeen = o.number("last_seen");
    a.online = o.flag("online");
    a.hasTelemetry = o.flag("has_telemetry");

    const R limits = o.object("limits");
    a.limitsSource = limits.text("source");
    a.limitsFetchedAt = limits.number("fetched_at");
    a.severity = limits.text("severity");
    a.extraUsagePct = limits.number("extra_usage_pct", -1);
    limits.eachObject("weekly_scoped", [&](const R &e) {
        ScopedModel m;
        m.model = e.text("model");
        if (m.model.isEmpty())
            return;
        m.pct = e.number("pct");
        a.weeklyScoped.append(m);
    });

    a.plan = o.text("plan");
    a.price = o.number("price");
    a.currency = o.text("currency");
    a.payMethod = o.text("pay_method");
    a.renewDate = o.text("renew_date");
    a.notes = o.text("notes");
    a.ccProvider = o.text("cc_provider");
    a.baseUrl = o.text("base_url");
    a.burnEta = o.object("five_hour_burn").number("eta");

    o.eachObject("live_sessions", [&](const R &e) {
        LiveSession s;
        s.project = e.text("project");
        s.person = e.text("person");
        s.model = e.text("model");
        s.active = e.flag("active");
        a.liveSessions.append(s);
    });
    o.eachObject("users", [&](const R &e) {
        AcctUser u;
        u.name = e.text("name");
        if (u.name.isEmpty())
            return;
        u.online = e.flag("online");
        a.users.append(u);
    });
    o.eachObject("devices", [&](const R &e) {
        Device d;
        d.host = e.text("device_host");
        d.osUser = e.text("os_user");
        d.person = e.text("person");
        d.model = e.text("model");
        d.version = e.text("version");
        d.brRev = e.text("br_rev");
        d.project = e.text("project");
        d.fivePct = e.number("five_hour_pct");
        d.sevenPct = e.number("seven_day_pct");
        d.cost = e.number("cost_usd");
        d.lastSeen = e.number("last_seen");
        d.online = e.flag("online");
        a.devices.append(d);
    });
    a.rev = a.computeRev();
    return a;
}

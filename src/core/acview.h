#pragma once
// What the AI resources screens show for a team account: the texts and colour roles of the table
// cells, the group header, the registry and devices columns of the detail, the dashboard card and
// its gauges, and the dashboard tiles. Colours are named by theme role ("text", "textSecondary",
// "textTertiary", "ok", "warn", "danger", "accent", "border"); the views map a role to its colour.
//
// Figures that are not finite, or too large for a whole number, show as "—" (or an empty bar):
// the server never sends them, but a broken answer must not turn into garbage or a crash.

#include "acpanel.h"
#include "teamacct.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace acview {

// The whole part of `v` as text ("42"), or nothing when `v` is not finite or does not fit a
// 64-bit integer.
std::optional<QString> whole(double v);
// "$12.35" when `v` > 0, else "$0"; "—" when not finite or absurdly large.
QString money(double v);
// "$0.00" … always two decimals (the table's cost column); "—" when not finite or huge.
QString cost(double v);
// The whole percentage "42%", or "—" when not finite or huge.
QString percent(double pct);

// Table cells ---------------------------------------------------------------------------------

// `CellGauge`: "—" for 0 or less, else the whole percentage.
QString cellGaugeText(double pct);
// Its text role: textTertiary for 0 or less, text up to 60, warn up to 80, danger above.
QString cellGaugeTone(double pct);
// Its bar role: textTertiary up to 60, warn up to 80, danger above.
QString cellBarTone(double pct);
// The bar's fill, pct / 100 limited to 0..1; not finite gives an empty bar.
double fraction(double pct);

struct ProviderCell {
    QString label;       // the provider's label ("Other" for unknown keys)
    QString authSymbol;  // "key.fill" or "lock.fill"
    QString authText;    // "API-ключ" or "Авторизация"
    QString marker;      // "✓✓", "✓" or ""
    QString markerTone;  // "ok" or "textTertiary"
};
ProviderCell providerCell(const TeamAcct &a);

struct TopModelCell {
    QString text;        // "—", or the short model name, a blank and the whole percentage
    QString tone;        // textTertiary for "—"; danger above 80, warn above 60, else text
};
TopModelCell topModelCell(const TeamAcct &a);

struct ResetCell {
    QString text;        // "—" (five-hour only) or the time left
    QString tone;        // textTertiary for "—" or a passed reset, else text
    QString date;        // seven-day only: the short date below
};
ResetCell fiveResetCell(double t);
ResetCell sevenResetCell(double t);

struct WhoCell {
    bool none = true;    // no users: "—"
    QString name;
    QString dotTone;     // ok when the first user is online, else textTertiary
    QString more;        // "+N" for further users, else ""
};
WhoCell whoCell(const TeamAcct &a);

struct PresenceCell {
    QString kind;        // "project", "online", "none" or "seen"
    QString text;        // the project, "онлайн", "—" or how long ago
    bool dot = false;    // an ok-coloured dot before the text
    QString tone;        // text role of `text`
};
PresenceCell presenceCell(const TeamAcct &a);

// `StatusPill`: "Hold" (warn) for "hold", "Active" (ok) for anything else.
QString statusPillText(const QString &status);
QString statusPillTone(const QString &status);

// The group header's summary: "5ч 80% · 7д 95% · $12.50".
QString groupSummary(const acpanel::Group &g);
QString groupCount(const acpanel::Group &g); // "3 акк."

// Account detail ------------------------------------------------------------------------------

struct RegistryItem {
    QString label, value, tone;
};
// The registry column: 13 entries, 14 with the extra-usage figure.
QList<RegistryItem> registryItems(const TeamAcct &a);

struct DeviceLines {
    QString name;        // host, else the OS user
    QString seen;        // how long ago it reported
    bool online = false;
    QString details;     // person · OS user · model · project (the non-empty ones)
    QString cc;          // "CC <version>" or ""
    QString br;          // "BR <rev>" or ""
    bool outdated = false; // the coding tool is older than the oldest supported version
    QString figures;     // "5ч 12%  7д 40%"
};
DeviceLines deviceLines(const Device &d);

// Dashboard card ------------------------------------------------------------------------------

// The header dot: ok when online, textTertiary with telemetry, else border.
QString cardDotTone(const TeamAcct &a);
// The provider tag, or "" when the provider is empty or "claude".
QString cardProviderTag(const TeamAcct &a);
QString cardModel(const TeamAcct &a);  // "" when no model
QString tokens(const TeamAcct &a);     // "12k / 3k", or "" when there are none
bool cardPull(const TeamAcct &a);      // the "pull" tag

struct Activity {
    QStringList projects; // tags for the first two active sessions that have a project
    QString more;         // "+N" for active sessions beyond two
    QString seen;         // without active sessions: how long ago, for an offline account
};
Activity cardActivity(const TeamAcct &a);

struct CardUsers {
    QList<AcctUser> shown; // the first three
    QString more;          // "+N" beyond three
};
CardUsers cardUsers(const TeamAcct &a);

// `TeamGauge` (its text is the table's cellGaugeText): danger from 90, warn from 75, else
// accent; the countdown.
QString teamGaugeTone(double pct);
QString teamGaugeReset(double reset);

// Dashboard tiles -----------------------------------------------------------------------------

struct Tile {
    QString title, value, tone, sub;
};
QList<Tile> dashboardTiles(const TeamCounts &c, int accounts);
QString alertsBanner(int unread); // "Непрочитанных алертов: N"

} // namespace acview

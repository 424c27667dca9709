#include "acrules.h"

#include "core/acpanel.h"
#include "core/acview.h"
#include "core/uirules.h"
#include "store/choicetypes.h"
#include "store/store.h"

#include <QQmlEngine>

AcRules::AcRules(QObject *parent)
    : QObject(parent)
    , m_store(Store::instance())
{
    if (m_store) {
        connect(m_store, &Store::teamAccountsChanged, this, &AcRules::tilesChanged);
        connect(m_store, &Store::serverLostChanged, this, &AcRules::tilesChanged);
    }
}

AcRules *AcRules::create(QQmlEngine *qmlEngine, QJSEngine *)
{
    auto *r = new AcRules(qmlEngine);
    QQmlEngine::setObjectOwnership(r, QQmlEngine::CppOwnership);
    return r;
}

QVariantList AcRules::columns()
{
    QVariantList out;
    for (const acpanel::Column &c : acpanel::columns())
        out.append(QVariantMap{{QStringLiteral("key"), keys::toKey(c.key)},
                               {QStringLiteral("sort"), int(c.key)},
                               {QStringLiteral("title"), c.title},
                               {QStringLiteral("width"), c.width},
                               {QStringLiteral("text"), c.text},
                               {QStringLiteral("right"), c.rightAligned}});
    return out;
}

QVariantList AcRules::modes()
{
    return {choiceItem(Ac::Mode::People, QStringLiteral("По человеку")),
            choiceItem(Ac::Mode::Accounts, QStringLiteral("По аккаунтам"))};
}

QVariantList AcRules::statusFilters()
{
    return {choiceItem(Ac::StatusFilter::All, QStringLiteral("Все")),
            choiceItem(Ac::StatusFilter::Active, QStringLiteral("Active")),
            choiceItem(Ac::StatusFilter::Hold, QStringLiteral("Hold"))};
}

double AcRules::minTableWidth() { return acpanel::kMinTableWidth; }

QVariantList AcRules::tiles() const
{
    QVariantList out;
    if (!m_store)
        return out;
    const TeamCounts c = teamCounts(m_store->teamAccounts());
    for (const acview::Tile &t : acview::dashboardTiles(c, int(m_store->teamAccounts().size())))
        out.append(QVariantMap{{QStringLiteral("title"), t.title},
                               {QStringLiteral("value"), t.value},
                               // The online count is presence: not green on data the server has
                               // not confirmed lately.
                               {QStringLiteral("tone"), t.tone == QLatin1String("ok") ? ui::liveTone(t.tone, m_store->serverLost()) : t.tone},
                               {QStringLiteral("sub"), t.sub}});
    return out;
}

double AcRules::tableWidth(double viewportWidth) const
{
    return viewportWidth > acpanel::kMinTableWidth ? viewportWidth : acpanel::kMinTableWidth;
}

double AcRules::emailWidth(double tableWidth) const { return acpanel::emailWidth(tableWidth); }

QString AcRules::alertsBanner(int unread) const
{
    return unread >= 1 ? acview::alertsBanner(unread) : QString();
}

QString AcRules::panelCase(int total, bool loading, int shown, bool lost) const
{
    if (total == 0)
        return dashboardCase(total, loading, lost);
    return shown == 0 ? QStringLiteral("nomatch") : QStringLiteral("table");
}

QString AcRules::dashboardCase(int total, bool loading, bool lost) const
{
    if (total == 0)
        return loading ? QStringLiteral("loading") : lost ? QStringLiteral("lost") : QStringLiteral("empty");
    return QStringLiteral("cards");
}

QString AcRules::telemetryText(bool ok, bool lost) const
{
    if (lost)
        return QStringLiteral("Телеметрия: нет связи с сервером, данные не обновляются");
    return ok ? QStringLiteral("Телеметрия работает · всё обновляется само")
              : QStringLiteral("Телеметрия не активна — запусти Claude Code");
}

QString AcRules::telemetryTone(bool ok, bool lost) const
{
    return ok && !lost ? QStringLiteral("ok") : QStringLiteral("textTertiary");
}

QString AcRules::staleLine(bool lost, double dataAt) const { return ui::staleLine(lost, dataAt); }

QString AcRules::liveTone(const QString &tone, bool lost) const { return ui::liveTone(tone, lost); }

void AcRules::dashboardShown() const
{
    if (!m_store || !m_store->isAdmin())
        return;
    m_store->loadTeam();
    m_store->loadAlerts();
}

void AcRules::dashboardRefresh() const
{
    if (!m_store)
        return;
    m_store->refreshHome();
    dashboardShown();
}

void AcRules::panelShown() const
{
    if (!m_store)
        return;
    m_store->loadTeam();
    if (m_store->members().isEmpty())
        m_store->loadMembers();
}

void AcRules::newAccount() const
{
    if (!m_store)
        return;
    m_store->resources()->openForm(QVariant());
}

void AcRules::editAccount(const QVariant &acct) const
{
    if (!m_store || !acct.canConvert<TeamAcct>())
        return;
    m_store->resources()->openForm(acct);
}

QString AcRules::deleteTitle(const QString &email) const
{
    return QStringLiteral("Удалить аккаунт ") + email + QStringLiteral(" из реестра?");
}

QString AcRules::rowName(const QString &email, bool expanded) const
{
    return email + (expanded ? QStringLiteral(", развёрнуто") : QStringLiteral(", свёрнуто"));
}

#include "app/screenshotvariants.h"

#include "store/breakdownview.h"
#include "store/chartbase.h"
#include "store/store.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <functional>

namespace shotvariant {

namespace {

const QStringList &variantsOf(const QString &base)
{
    static const QStringList accounts{QStringLiteral("flat"), QStringLiteral("expanded"), QStringLiteral("form"),
                                      QStringLiteral("edit"), QStringLiteral("history")};
    static const QStringList dashboard{QStringLiteral("expanded"), QStringLiteral("alerts"), QStringLiteral("offline"),
                                       QStringLiteral("history")};
    static const QStringList panel{QStringLiteral("offline")};
    static const QStringList stats{QStringLiteral("cost")};
    static const QStringList none;
    if (base == QLatin1String("accounts"))
        return accounts;
    if (base == QLatin1String("dashboard"))
        return dashboard;
    if (base == QLatin1String("panel"))
        return panel;
    if (base == QLatin1String("stats"))
        return stats;
    return none;
}

// Every item of the window, depth first, with the non-visual objects each one holds.
void walk(QQuickItem *item, const std::function<void(QObject *)> &visit)
{
    if (!item)
        return;
    visit(item);
    for (QObject *child : item->children())
        if (!qobject_cast<QQuickItem *>(child))
            visit(child);
    for (QQuickItem *child : item->childItems())
        walk(child, visit);
}

QObject *findNamed(QQuickWindow *window, const QString &name)
{
    QObject *found = nullptr;
    walk(window->contentItem(), [&](QObject *o) {
        if (!found && o->objectName() == name)
            found = o;
    });
    return found;
}

// The visible item of that name nearest the top of the window.
QQuickItem *topmost(QQuickWindow *window, const QString &name)
{
    QQuickItem *best = nullptr;
    walk(window->contentItem(), [&](QObject *o) {
        auto *item = qobject_cast<QQuickItem *>(o);
        if (!item || !item->isVisible() || o->objectName() != name)
            return;
        if (!best || item->mapToScene({0, 0}).y() < best->mapToScene({0, 0}).y())
            best = item;
    });
    return best;
}

// The id of the table's first account row, as the panel shows it.
QString firstRowId(QQuickWindow *window, Store *store)
{
    QObject *panel = findNamed(window, QStringLiteral("accountsPanel"));
    if (!panel)
        return QString();
    const char *model = store->resources()->byPerson() ? "peopleModel" : "accountsModel";
    QObject *m = panel->property(model).value<QObject *>();
    return m ? m->property("firstId").toString() : QString();
}

} // namespace

QString baseScreen(const QString &name) { return name.section(u':', 0, 0); }
QString variant(const QString &name) { return name.section(u':', 1); }

bool known(const QString &name)
{
    return name.contains(u':') && variantsOf(baseScreen(name)).contains(variant(name));
}

void beforeLoad(Store *store, const QString &name)
{
    if (baseScreen(name) == QLatin1String("accounts"))
        store->resources()->setMode(variant(name) == QLatin1String("flat") ? Ac::Mode::Accounts : Ac::Mode::People);
}

bool apply(Store *store, QQuickWindow *window, const QString &name)
{
    const QString v = variant(name);
    if (v == QLatin1String("offline")) {
        // The server goes away after the first load: from here on every load finds nobody, and
        // the screen keeps what it had and says how old it is.
        if (store->serverLost())
            return true;
        const QString gone = QStringLiteral("http://127.0.0.1:9");
        if (store->serverUrl() != gone) {
            store->setServerUrl(gone);
            store->reload();
            store->loadAlerts();
        }
        return false;
    }
    // Anyone but an administrator has no table, cards or form: the section as it is.
    if (!store->isAdmin())
        return true;
    if (v == QLatin1String("alerts")) {
        QObject *view = findNamed(window, QStringLiteral("dashboardView"));
        if (!view)
            return false;
        view->setProperty("alertsOpen", true);
        return true;
    }
    if (baseScreen(name) == QLatin1String("dashboard")) {
        // The card nearest the top of the list.
        QQuickItem *card = topmost(window, QStringLiteral("teamCard"));
        if (!card)
            return false;
        card->setProperty("expanded", true);
        return true;
    }
    // The cost chart heads the statistics screen: nothing to open.
    if (v == QLatin1String("flat") || v == QLatin1String("cost"))
        return true;
    if (v == QLatin1String("form")) {
        store->resources()->openForm(QVariant());
        return true;
    }
    const QString id = firstRowId(window, store);
    if (id.isEmpty())
        return false;
    // An account's detail opens with its history chart.
    if (v == QLatin1String("expanded") || v == QLatin1String("history")) {
        if (!store->resources()->expanded().contains(id))
            store->resources()->toggleExpanded(id);
        return true;
    }
    for (const TeamAcct &a : store->teamAccounts()) {
        if (a.id() == id) {
            store->resources()->openForm(QVariant::fromValue(a));
            return true;
        }
    }
    return false;
}

bool settled(QQuickWindow *window)
{
    bool done = true;
    walk(window->contentItem(), [&](QObject *o) {
        if (auto *b = qobject_cast<BreakdownView *>(o))
            done = done && b->loaded();
        if (auto *c = qobject_cast<ChartBase *>(o))
            done = done && !c->waiting();
    });
    return done;
}

} // namespace shotvariant

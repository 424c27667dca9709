#pragma once
// The decisions of the application shell, made here so that the QML screens only bind to them:
// which sections the sidebar lists for a role, the role label, the projects list, which case the
// tray panel shows and which of the user's accounts it lists, whether the team row shows, and
// which screen the main window routes to. The pure functions are the rules; the Shell object
// follows one Store and republishes them as properties (QML singleton `Shell`).

#include "core/records.h"
#include "core/teamacct.h"
#include "store/store.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;

namespace shell {

struct NavItem {
    QString key;    // the Nav string value
    QString title;  // sidebar title
    QString icon;   // platform symbol name; empty for the "AI" image
};

// Every section in its fixed order.
const QList<NavItem> &allNavItems();
// The sections a role sees: administrators (role exactly "admin") all seven, anyone else
// without statistics, activity and team.
QList<NavItem> sidebarItems(const QString &role);
// "администратор" for "admin", "сотрудник" for anything else.
QString roleLabel(const QString &role);
// Title of a section key, "" for an unknown key.
QString navTitle(const QString &key);

// Administrators: the project of every live session, then of every device, of every team
// account in order; anyone else: the project of each own account. Made unique, empty names
// skipped, sorted by plain character codes.
QStringList projects(bool isAdmin, const QList<TeamAcct> &team, const QList<Acct> &own);

// The tray panel's body: "signin" outside the platform phase, "empty" without own accounts,
// else "accounts".
QString panelCase(Store::Phase phase, int accountCount);
// The caption of the "signin" and "empty" cases ("" for "accounts").
QString panelText(const QString &panelCase, bool telemetryOk, bool serverLost = false);
// The accounts the panel lists: the first four, in list order.
QList<Acct> panelAccounts(const QList<Acct> &accounts);
// The team row: administrators only, and only when some account has telemetry.
bool showTeamRow(const QString &role, int teamWithTelemetry);
// "3/5".
QString teamRatio(int online, int withTelemetry);

// The QML file the main window shows for a phase, relative to the QML root and without extension.
QString rootView(Store::Phase phase);
// The content view of the platform phase: the profile while it is open, else the section's
// own view (a hidden section stays shown until another one is chosen).
QString sectionView(Store::Nav nav, bool showProfile);

} // namespace shell

class Shell : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    Q_PROPERTY(QVariantList sidebarItems READ sidebarItems NOTIFY roleChanged)
    Q_PROPERTY(QString roleLabel READ roleLabel NOTIFY roleChanged)
    Q_PROPERTY(QStringList projects READ projects NOTIFY projectsChanged)
    Q_PROPERTY(QString panelCase READ panelCase NOTIFY panelChanged)
    Q_PROPERTY(QString panelText READ panelText NOTIFY panelChanged)
    Q_PROPERTY(QVariantList panelAccounts READ panelAccounts NOTIFY panelChanged)
    Q_PROPERTY(bool showTeamRow READ showTeamRow NOTIFY teamRowChanged)
    Q_PROPERTY(QString teamRatio READ teamRatio NOTIFY teamRowChanged)
    Q_PROPERTY(QString rootView READ rootView NOTIFY rootViewChanged)
    Q_PROPERTY(QString sectionView READ sectionView NOTIFY sectionViewChanged)

public:
    // Follows `store`; the QML singleton follows Store::instance().
    Shell(Store *store, QObject *parent);
    // The application's one instance, handed to QML by create(); without one, create() makes
    // a Shell on Store::instance() owned by the engine (tests).
    static void setInstance(Shell *shell);
    static Shell *instance();
    static Shell *create(QQmlEngine *, QJSEngine *);

    QVariantList sidebarItems() const;
    QString roleLabel() const;
    QStringList projects() const;
    QString panelCase() const;
    QString panelText() const;
    QVariantList panelAccounts() const;
    bool showTeamRow() const;
    QString teamRatio() const;
    QString rootView() const;
    QString sectionView() const;

    Q_INVOKABLE QString navTitle(const QString &key) const { return shell::navTitle(key); }

    // The main window's root view became visible: restores a saved session, but only while no
    // token is held and the phase is auth. Returns whether bootstrap ran.
    Q_INVOKABLE bool rootShown();
    // A tap on a sidebar row: closes the profile, then selects the section.
    Q_INVOKABLE void selectSection(const QString &key);
    // The projects section's refresh: reloads the team accounts for administrators only.
    Q_INVOKABLE void refreshProjects();
    // The tray panel's "Открыть" and "Выход"; the application connects to these.
    Q_INVOKABLE void openMainWindow() { Q_EMIT openMainWindowRequested(); }
    Q_INVOKABLE void quitApp() { Q_EMIT quitRequested(); }

Q_SIGNALS:
    void roleChanged();
    void projectsChanged();
    void panelChanged();
    void teamRowChanged();
    void rootViewChanged();
    void sectionViewChanged();
    void openMainWindowRequested();
    void quitRequested();

private:
    QPointer<Store> m_store;
};

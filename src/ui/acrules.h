#pragma once
// The QML face of the AI resources rules (QML singleton `AcRules`): the table's columns and
// choice lists, the dashboard's tiles and cases (the table's rows, the dashboard cards and the
// detail's lists are roles of list models), worked out in C++ (core/acpanel, core/acview).
// Colours come back as theme role names.

#include "core/teamacct.h"

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;
class Store;

class AcRules : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QVariantList columns READ columns CONSTANT)
    Q_PROPERTY(QVariantList modes READ modes CONSTANT)
    Q_PROPERTY(QVariantList statusFilters READ statusFilters CONSTANT)
    Q_PROPERTY(double minTableWidth READ minTableWidth CONSTANT)
    // The dashboard's four tiles [{title, value, tone, sub}], following Store.
    Q_PROPERTY(QVariantList tiles READ tiles NOTIFY tilesChanged)

public:
    // Requires a parent so that QML uses create().
    explicit AcRules(QObject *parent);
    static AcRules *create(QQmlEngine *qmlEngine, QJSEngine *jsEngine);

    static QVariantList columns();
    static QVariantList modes();
    static QVariantList statusFilters();
    static double minTableWidth();
    QVariantList tiles() const;

    // The table is as wide as its viewport, but never narrower than every column needs.
    Q_INVOKABLE double tableWidth(double viewportWidth) const;
    Q_INVOKABLE double emailWidth(double tableWidth) const;

    // The banner's text, "" while there is nothing unread (no banner).
    Q_INVOKABLE QString alertsBanner(int unread) const;
    // What the panel's content shows: "loading", "empty", "nomatch" or "table"; "lost" when
    // nothing was ever loaded and the server does not answer (no claim that the team is empty).
    Q_INVOKABLE QString panelCase(int total, bool loading, int shown, bool lost = false) const;
    // What the dashboard lists under its heading: "loading", "empty", "lost" or "cards".
    Q_INVOKABLE QString dashboardCase(int total, bool loading, bool lost = false) const;
    // The member's telemetry line and its dot's colour role; with the server lost it claims
    // nothing about updates.
    Q_INVOKABLE QString telemetryText(bool ok, bool lost = false) const;
    Q_INVOKABLE QString telemetryTone(bool ok, bool lost = false) const;
    // The line over stale data, and a presence colour role on it (ui::staleLine, ui::liveTone).
    Q_INVOKABLE QString staleLine(bool lost, double dataAt) const;
    Q_INVOKABLE QString liveTone(const QString &tone, bool lost) const;

    // Loads a section starts when it is shown, and the dashboard's refresh.
    Q_INVOKABLE void dashboardShown() const;
    Q_INVOKABLE void dashboardRefresh() const;
    Q_INVOKABLE void panelShown() const;
    // "Аккаунт": a new entry; "Редактировать": the given account.
    Q_INVOKABLE void newAccount() const;
    Q_INVOKABLE void editAccount(const QVariant &acct) const;
    // The deletion question for an account's e-mail.
    Q_INVOKABLE QString deleteTitle(const QString &email) const;
    // Accessible name of a table row: its e-mail and whether it is open.
    Q_INVOKABLE QString rowName(const QString &email, bool expanded) const;

Q_SIGNALS:
    void tilesChanged();

private:
    QPointer<Store> m_store;
};

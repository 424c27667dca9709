#pragma once
// What the AI resources table shows and how: the mode, the filters, the sort, the opened rows
// and the account form. Screen state: QML sets the switches and the search itself; the sort and
// the opened rows change only through their operations.

#include "core/choices.h"
#include "store/fields.h"

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

class ResourcesState : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Store.resources")

    CV_STATE(Ac::Mode, mode, Mode, Ac::Mode::People)
    CV_STATE(QString, prov, Prov)   // a provider key; empty: every provider
    CV_STATE(Ac::StatusFilter, status, Status, Ac::StatusFilter::All)
    CV_STATE(QString, query, Query)
    CV_FIELD(Ac::Sort, sortKey, SortKey, Ac::Sort::Seven)
    CV_FIELD(bool, sortAsc, SortAsc, false)
    CV_FIELD(QStringList, expanded, Expanded)    // ids of the opened rows
    CV_STATE(bool, formOpen, FormOpen, false)
    CV_STATE(QVariant, formEdit, FormEdit)       // a TeamAcct, or null for a new account
    Q_PROPERTY(bool byPerson READ byPerson NOTIFY modeChanged)

public:
    using QObject::QObject;
    bool byPerson() const { return m_mode == Ac::Mode::People; }
    Q_INVOKABLE void toggleExpanded(const QString &accountId);
    // The account form opened on `acct` (a TeamAcct), or on a new account for null.
    void openForm(const QVariant &acct);
    void closeForm();
    // Back to the table as a new session first sees it: by person, every provider and status,
    // no search, by the seven-day figure, no row open and no form.
    void reset();
};

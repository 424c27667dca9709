#pragma once
// What the team roster shows and how: the filters, the sort, the member form, and the one-time
// credential of a member just created or reset. The credential comes from the server and is
// read-only to QML; it is dropped for good once the administrator is done with it.

#include "core/choices.h"
#include "store/fields.h"

#include <QObject>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class RosterState : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Store.roster")

    CV_STATE(Tm::Type, type, Type, Tm::Type::All)
    CV_STATE(QString, dept, Dept)   // empty: every department
    CV_STATE(QString, query, Query)
    CV_FIELD(Tm::Sort, sortKey, SortKey, Tm::Sort::Online)   // changed through RosterView::chooseSort
    CV_FIELD(bool, sortAsc, SortAsc, false)
    CV_STATE(bool, formOpen, FormOpen, false)
    CV_FIELD(QVariantMap, secret, Secret)   // empty = none; keys title, login, password, created

public:
    using QObject::QObject;
    Q_INVOKABLE void clearSecret() { setSecret({}); }
    // Back to the roster as a new session first sees it: no filter, no search, by who is online,
    // no form and no credential.
    void reset()
    {
        resetType();
        resetDept();
        resetQuery();
        resetSortKey();
        resetSortAsc();
        resetFormOpen();
        resetSecret();
    }
};

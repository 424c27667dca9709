#pragma once
// What the statistics screen shows: the scope chosen and the tables the server sent for it.
// The scope changes only through Store::setStatScopeAndLoad, which loads it; the rest comes from
// that load, so all of it is read-only to QML.

#include "core/choices.h"
#include "core/records.h"
#include "store/fields.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

class StatsState : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Store.stats")

    CV_FIELD(Stat::Scope, scope, Scope, Stat::Scope::Week)
    CV_LIST(StatMember, members, Members)
    CV_LIST(StatAccount, accounts, Accounts)
    CV_LIST(ResultMember, results, Results)
    CV_LIST(MirrorSpend, mirrors, Mirrors)
    CV_LIST(StatSource, sources, Sources)
    CV_FIELD(bool, loading, Loading, false)   // a first load runs with nothing shown yet

public:
    using QObject::QObject;
    // Drops the tables (not the scope); signals only what held something.
    void clear()
    {
        if (!m_members.isEmpty())
            setMembers({});
        if (!m_accounts.isEmpty())
            setAccounts({});
        if (!m_sources.isEmpty())
            setSources({});
        if (!m_results.isEmpty())
            setResults({});
        if (!m_mirrors.isEmpty())
            setMirrors({});
    }
};

#include "resourcesstate.h"

void ResourcesState::toggleExpanded(const QString &accountId)
{
    QStringList ids = m_expanded;
    if (!ids.removeOne(accountId))
        ids.append(accountId);
    setExpanded(ids);
}

void ResourcesState::openForm(const QVariant &acct)
{
    setFormEdit(acct);
    setFormOpen(true);
}

void ResourcesState::closeForm()
{
    setFormOpen(false);
    setFormEdit(QVariant());
}

void ResourcesState::reset()
{
    resetMode();
    resetProv();
    resetStatus();
    resetQuery();
    resetSortKey();
    resetSortAsc();
    resetExpanded();
    closeForm();
}

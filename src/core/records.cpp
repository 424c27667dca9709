#include "records.h"
#include "text.h"

QString Member::initials() const
{
    return text::initialsOf(name, memberId);
}

QVariantList ActPerson::projectList() const
{
    return toVariantList(projects);
}

#pragma once
// The choice enums of core/choices.h as QML types: Ac, Tm and Stat, read as Ac.People, Tm.Name.

#include "core/choices.h"

#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

namespace AcForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(Ac)
QML_NAMED_ELEMENT(Ac)
} // namespace AcForeign

namespace TmForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(Tm)
QML_NAMED_ELEMENT(Tm)
} // namespace TmForeign

namespace StatForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(Stat)
QML_NAMED_ELEMENT(Stat)
} // namespace StatForeign

// An item of a switch (Seg): the choice as `key`, its text key as `name` for the item's object
// name, and the label shown.
template <class E>
QVariantMap choiceItem(E value, const QString &label)
{
    return {{QStringLiteral("key"), int(value)},
            {QStringLiteral("name"), keys::toKey(value)},
            {QStringLiteral("label"), label}};
}

#pragma once
// What the activity screen shows: the range in days and each person's activity over it. The
// range changes only through Store::setActRangeAndLoad, which loads it; read-only to QML.

#include "core/records.h"
#include "store/fields.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

class ActivityState : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Store.activity")

    CV_FIELD(int, range, Range, 7)
    CV_LIST(ActPerson, people, People)
    CV_FIELD(bool, loading, Loading, false)   // a first load runs with nothing shown yet

public:
    using QObject::QObject;
};

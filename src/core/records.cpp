#include "records.h"
#include "text.h"

#include <QRandomGenerator>

QUuid newRecordId()
{
    quint32 w[4];
    QRandomGenerator::global()->fillRange(w);
    // Version 4 in the top nibble of data3, variant 10xx in the top bits of data4[0].
    return QUuid(w[0], quint16(w[1]), quint16(((w[1] >> 16) & 0x0FFF) | 0x4000),
                 uchar((w[2] & 0x3F) | 0x80), uchar(w[2] >> 8), uchar(w[2] >> 16), uchar(w[2] >> 24),
                 uchar(w[3]), uchar(w[3] >> 8), uchar(w[3] >> 16), uchar(w[3] >> 24));
}

QString Member::initials() const
{
    return text::initialsOf(name, memberId);
}

QVariantList ActPerson::projectList() const
{
    return toVariantList(projects);
}

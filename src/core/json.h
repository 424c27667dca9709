#pragma once
// Readers for JSON values of unknown type. The server's answers are loosely typed, so every
// decoder reads each key through one of these and never fails.

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <optional>

namespace json {

// Any JSON value (or an absent key) as a number: numbers and booleans as they are, strings
// only when the C-locale conversion consumes all of it, everything else 0.
double jnum(const QJsonValue &v);

// A double truncated towards zero; NaN, infinities and values outside the 64-bit range give 0.
qint64 toInt(double d);

// Strict readers: the value only when it has the named JSON type, else the default.
QString text(const QJsonValue &v, const QString &def = QString());
// A JSON number, or a boolean read as 1/0; anything else (a numeric string too) gives `def`.
double number(const QJsonValue &v, double def = 0);
// A JSON boolean only.
bool flag(const QJsonValue &v, bool def = false);
// A JSON boolean, or the numbers 1 and 0 (what a platform JSON reader reports alike).
bool looseFlag(const QJsonValue &v, bool def = false);

// The value as an array of objects; an array holding anything else, or a non-array,
// counts as absent and gives an empty list.
QList<QJsonObject> objects(const QJsonValue &v);

// The value as an object, or an empty object.
QJsonObject object(const QJsonValue &v);

} // namespace json

#pragma once
// Small helpers for the decoder tests: JSON literals written as text, and the fields of a decoded
// record compared with another one through its properties.

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QMetaProperty>
#include <QStringList>

// Parses a JSON object literal; a typo in a test fails loudly instead of decoding as {}.
inline QJsonObject obj(const char *json)
{
    QJsonParseError err;
    const QJsonDocument d = QJsonDocument::fromJson(QByteArray(json), &err);
    if (err.error != QJsonParseError::NoError || !d.isObject())
        qFatal("bad JSON in test: %s (%s)", json, qPrintable(err.errorString()));
    return d.object();
}

// The value of "v" in {"v": <json>}: lets a test write any JSON value as text.
inline QJsonValue val(const char *json)
{
    return obj((QByteArray("{\"v\":") + json + "}").constData()).value(QLatin1String("v"));
}

// The text, number and flag fields of gadget `r`, as "name=value", that are the same as in `base`
// (same = true) or that differ from it. With `r` decoded from an object that sets every key to
// something else than its default, a field still the same as in a default record is a key the
// decoder never read:  QCOMPARE(fields(decoded, Member(), true), QStringList());
template <typename R>
QStringList fields(const R &r, const R &base, bool same)
{
    QStringList out;
    const QMetaObject &mo = R::staticMetaObject;
    for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
        const QVariant v = mo.property(i).readOnGadget(&r);
        const int t = v.typeId();
        if (qstrcmp(mo.property(i).name(), "key") != 0 // a record's list key: fresh on every load
            && (t == QMetaType::QString || t == QMetaType::Double || t == QMetaType::Bool || t == QMetaType::LongLong)
            && (v == mo.property(i).readOnGadget(&base)) == same)
            out << QString::fromLatin1(mo.property(i).name()) + u'=' + v.toString();
    }
    return out;
}

#pragma once
// Small helpers for the core tests: JSON literals written as text.

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

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

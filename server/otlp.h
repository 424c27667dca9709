// OpenTelemetry's OTLP/HTTP in its JSON mapping, as Claude Code and Codex export it: metrics and
// log records flattened into points that carry their resource's attributes and their own.
// No Debian package ships OTLP for C++, and only a handful of fields matter here.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace otlp {

struct Point {
    QString name;      // the metric's name, or a log record's event name ("api_request")
    double value = 0;  // a metric point's value; 0 for a log record
    bool cumulative = false;
    double time = 0;   // epoch seconds; 0 when the point has none
    QString start;     // a cumulative series' start, as sent: a new start is a new series
    QHash<QString, QString> attrs;  // the resource's attributes, then the point's own on top
};

struct Batch {
    QList<Point> points;
    int rejected = 0;   // points dropped for want of a usable value
    QString error;      // set when the body is not OTLP at all: nothing of it may be stored
};

Batch decodeMetrics(const QJsonObject &root);
Batch decodeLogs(const QJsonObject &root);

// Inflates a gzip body. False when it is not gzip or inflates past `cap` (then *tooBig is set).
bool gunzip(const QByteArray &in, qsizetype cap, QByteArray *out, bool *tooBig);

} // namespace otlp

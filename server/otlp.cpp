#include "otlp.h"

#include <QJsonArray>
#include <QSet>

#include <zlib.h>

#include <cmath>

namespace otlp {
namespace {

// The JSON mapping writes 64-bit integers as strings and may write doubles as strings too
// ("1.5", "NaN"); a value that is no finite number is no value.
bool numberOf(const QJsonValue &v, double *out) {
    bool ok = v.isDouble();
    double d = v.toDouble();
    if (v.isString()) d = v.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d)) return false;
    *out = d;
    return true;
}

QString textOf(const QJsonObject &any) {
    if (any.contains("stringValue")) return any.value("stringValue").toString();
    if (any.contains("boolValue")) return any.value("boolValue").toBool() ? "true" : "false";
    for (const char *k : {"intValue", "doubleValue"}) {
        const QJsonValue v = any.value(k);
        if (v.isString()) return v.toString();
        if (v.isDouble()) return QString::number(v.toDouble(), 'g', 17);
    }
    return {};  // arrays, maps and bytes carry nothing read here
}

// Adds the attributes of a list to `into` (only those named in `only`, when given); false when the
// list is not one.
bool readAttrs(const QJsonValue &list, QHash<QString, QString> &into, const QSet<QString> *only = nullptr) {
    if (list.isUndefined() || list.isNull()) return true;
    if (!list.isArray()) return false;
    for (const QJsonValue &kv : list.toArray()) {
        if (!kv.isObject()) return false;
        const QJsonObject o = kv.toObject();
        const QString key = o.value("key").toString();
        if (key.isEmpty() || (only && !only->contains(key))) continue;
        into.insert(key, textOf(o.value("value").toObject()));
    }
    return true;
}

// What the intake reads of a log record. A batch every few seconds with a dozen records of a
// dozen attributes each: the rest (a prompt, a tool's parameters) is not even copied.
const QSet<QString> kLogAttributes{"event.name",      "event.kind",         "session.id",        "conversation.id",
                                   "user.email",      "model",              "input_token_count", "output_token_count",
                                   "cached_token_count"};

double secondsOf(const QJsonValue &nanos) {
    double n = 0;
    return numberOf(nanos, &n) && n > 0 ? n / 1e9 : 0;
}

// Walks resource → scope → item arrays, giving each item with its resource's attributes.
template <typename Fn>
QString walk(const QJsonObject &root, const char *resources, const char *scopes, const char *items, Fn fn) {
    const QJsonValue top = root.value(resources);
    if (top.isUndefined() || top.isNull()) return {};
    if (!top.isArray()) return QStringLiteral("%1 is not an array").arg(resources);
    for (const QJsonValue &r : top.toArray()) {
        if (!r.isObject()) return QStringLiteral("a resource is not an object");
        QHash<QString, QString> attrs;
        if (!readAttrs(r.toObject().value("resource").toObject().value("attributes"), attrs))
            return QStringLiteral("resource attributes are not a list");
        const QJsonValue sv = r.toObject().value(scopes);
        if (!sv.isUndefined() && !sv.isArray()) return QStringLiteral("%1 is not an array").arg(scopes);
        for (const QJsonValue &s : sv.toArray()) {
            if (!s.isObject()) return QStringLiteral("a scope is not an object");
            const QJsonValue iv = s.toObject().value(items);
            if (!iv.isUndefined() && !iv.isArray()) return QStringLiteral("%1 is not an array").arg(items);
            for (const QJsonValue &i : iv.toArray()) {
                if (!i.isObject()) return QStringLiteral("an item is not an object");
                if (QString e = fn(i.toObject(), attrs); !e.isEmpty()) return e;
            }
        }
    }
    return {};
}

} // namespace

Batch decodeMetrics(const QJsonObject &root) {
    Batch b;
    b.error = walk(root, "resourceMetrics", "scopeMetrics", "metrics",
                   [&](const QJsonObject &m, const QHash<QString, QString> &resource) -> QString {
        const QString name = m.value("name").toString();
        // Sums and gauges carry the figures read here; histograms and summaries are skipped.
        const bool sum = m.value("sum").isObject();
        const QJsonObject data = m.value(sum ? "sum" : "gauge").toObject();
        if (data.isEmpty()) return {};
        const QJsonValue dps = data.value("dataPoints");
        if (!dps.isUndefined() && !dps.isArray()) return QStringLiteral("dataPoints is not an array");
        // aggregationTemporality: 1 delta, 2 cumulative (or the enum's name).
        const QJsonValue temporality = data.value("aggregationTemporality");
        const bool cumulative = sum && (temporality.toInt() == 2 ||
                                        temporality.toString() == QLatin1String("AGGREGATION_TEMPORALITY_CUMULATIVE"));
        for (const QJsonValue &dv : dps.toArray()) {
            if (!dv.isObject()) return QStringLiteral("a data point is not an object");
            const QJsonObject d = dv.toObject();
            Point p{name, 0, cumulative, secondsOf(d.value("timeUnixNano")),
                    d.value("startTimeUnixNano").toVariant().toString(), resource};
            if (!readAttrs(d.value("attributes"), p.attrs)) return QStringLiteral("point attributes are not a list");
            const bool has = numberOf(d.value("asDouble"), &p.value) || numberOf(d.value("asInt"), &p.value);
            if (name.isEmpty() || !has) {
                ++b.rejected;
                continue;
            }
            b.points.append(p);
        }
        return {};
    });
    if (!b.error.isEmpty()) b.points.clear();
    return b;
}

Batch decodeLogs(const QJsonObject &root) {
    Batch b;
    b.error = walk(root, "resourceLogs", "scopeLogs", "logRecords",
                   [&](const QJsonObject &l, const QHash<QString, QString> &resource) -> QString {
        Point p{{}, 0, false, secondsOf(l.value("timeUnixNano")), {}, resource};
        if (p.time == 0) p.time = secondsOf(l.value("observedTimeUnixNano"));
        if (!readAttrs(l.value("attributes"), p.attrs, &kLogAttributes))
            return QStringLiteral("record attributes are not a list");
        // The event's name is an attribute; older exports only name it in the body.
        p.name = p.attrs.value("event.name");
        if (p.name.isEmpty()) p.name = textOf(l.value("body").toObject());
        p.name = p.name.section(u'.', -1);
        if (p.name.isEmpty()) {
            ++b.rejected;
            return {};
        }
        b.points.append(p);
        return {};
    });
    if (!b.error.isEmpty()) b.points.clear();
    return b;
}

bool gunzip(const QByteArray &in, qsizetype cap, QByteArray *out, bool *tooBig) {
    *tooBig = false;
    out->clear();
    z_stream zs{};
    if (inflateInit2(&zs, 16 + MAX_WBITS) != Z_OK) return false;
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
    zs.avail_in = uInt(in.size());
    char chunk[64 * 1024];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef *>(chunk);
        zs.avail_out = sizeof chunk;
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) break;
        out->append(chunk, qsizetype(sizeof chunk - zs.avail_out));
        if (out->size() > cap) {
            *tooBig = true;
            rc = Z_DATA_ERROR;
            break;
        }
        if (rc == Z_OK && zs.avail_in == 0 && zs.avail_out != 0) break;  // truncated stream
    }
    inflateEnd(&zs);
    return rc == Z_STREAM_END;
}

} // namespace otlp

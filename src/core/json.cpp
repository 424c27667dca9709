#include "json.h"

#include <QByteArray>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <clocale>
#include <limits>
#include <locale.h>

namespace json {

namespace {
bool isCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

double cLocaleStrtod(const QByteArray &s, bool *whole)
{
    // strtod_l with the C locale: the process locale (a decimal comma, say) must not matter.
    static locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    const char *begin = s.constData();
    char *end = nullptr;
    const double d = strtod_l(begin, &end, cLocale);
    *whole = end != begin && *end == '\0';
    return d;
}
} // namespace

double jnum(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Double:
        return v.toDouble();
    case QJsonValue::Bool:
        return v.toBool() ? 1 : 0;
    case QJsonValue::String: {
        const QByteArray s = v.toString().toUtf8();
        if (s.isEmpty() || isCSpace(s.front()) || s.contains('\0'))
            return 0;
        bool whole = false;
        const double d = cLocaleStrtod(s, &whole);
        return whole ? d : 0;
    }
    default:
        return 0;
    }
}

qint64 toInt(double d)
{
    if (!std::isfinite(d))
        return 0;
    const double t = std::trunc(d);
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (t >= 9223372036854775808.0 || t < -9223372036854775808.0)
        return 0;
    return static_cast<qint64>(t);
}

QString text(const QJsonValue &v, const QString &def)
{
    return v.isString() ? v.toString() : def;
}

double number(const QJsonValue &v, double def)
{
    if (v.isDouble())
        return v.toDouble();
    if (v.isBool())
        return v.toBool() ? 1 : 0;
    return def;
}

bool flag(const QJsonValue &v, bool def)
{
    return v.isBool() ? v.toBool() : def;
}

bool looseFlag(const QJsonValue &v, bool def)
{
    if (v.isBool())
        return v.toBool();
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (d == 1)
            return true;
        if (d == 0)
            return false;
    }
    return def;
}

QList<QJsonObject> objects(const QJsonValue &v)
{
    QList<QJsonObject> out;
    if (!v.isArray())
        return out;
    const QJsonArray a = v.toArray();
    out.reserve(a.size());
    for (const QJsonValue &e : a) {
        if (!e.isObject())
            return {};
        out.append(e.toObject());
    }
    return out;
}

QJsonObject object(const QJsonValue &v)
{
    return v.isObject() ? v.toObject() : QJsonObject();
}

} // namespace json

#include "net/answer.h"

namespace answer {

bool looksLikeObject(const QByteArray &body)
{
    const QByteArray t = body.trimmed();
    return t.size() >= 2 && t.front() == '{' && t.back() == '}';
}

Verdict sort(const HttpReply &r, Kind kind)
{
    if (!r.ok)
        return Verdict::Failed;
    if (r.status == 401)
        return Verdict::Expired;
    if (r.status == 403)
        return Verdict::Refused;
    if (r.status == 304 && kind == Kind::Load)
        return Verdict::Unchanged;
    if (r.status < 200 || r.status > 299)
        return Verdict::Failed;
    switch (kind) {
    case Kind::Data:
        return r.body.isEmpty() ? Verdict::Failed : Verdict::Ok;
    case Kind::Load:
        // The body may have been left unparsed for a worker; then its shape is checked here.
        return !r.json.isEmpty() || looksLikeObject(r.body) ? Verdict::Ok : Verdict::Failed;
    case Kind::Write:
        // "No content" is a done write; any other answer is the JSON object the server sends,
        // and "ok": false in it is a refusal whatever the status says.
        if (r.status == 204 && r.body.trimmed().isEmpty())
            return Verdict::Ok;
        if (r.json.isEmpty() && !looksLikeObject(r.body))
            return Verdict::Failed;
        return r.json.value(QLatin1String("ok")) == QJsonValue(false) ? Verdict::Failed : Verdict::Ok;
    }
    return Verdict::Failed;
}

QString errorText(const HttpReply &r, const QString &fallback)
{
    const QJsonValue e = r.json.value(QLatin1String("error"));
    return e.isString() && !e.toString().trimmed().isEmpty() ? e.toString() : fallback;
}

} // namespace answer

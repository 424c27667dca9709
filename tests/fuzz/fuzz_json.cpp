// Every decoder of the server's JSON answers on the same document, as the request layer hands
// them over: the body parsed, anything but an object read as an empty object.
#include "core/decode.h"
#include "core/json.h"
#include "core/teamacct.h"
#include "fuzzcheck.h"

#include <QJsonDocument>

#include <cmath>
#include <cstdint>

namespace {

void numbers(const QJsonValue &v)
{
    const double d = json::jnum(v);
    const qint64 i = json::toInt(d);
    if (!std::isfinite(d))
        FUZZ_CHECK(i == 0);
    json::number(v);
    json::text(v);
    json::looseFlag(v);
}

void decodeAll(const QJsonObject &o)
{
    decode::homeStatus(o);
    decode::alerts(o);
    decode::member(o);
    const QList<Member> members = decode::members(o);
    decode::profile(o);
    decode::stats(o);
    decode::results(o);
    decode::mirrors(o);
    decode::activity(o);
    const decode::Breakdown b = decode::breakdown(o);
    const QList<decode::Segment> segments = decode::segments(b);
    FUZZ_CHECK(segments.size() <= b.rows.size() + 1);

    const TeamAcct one = parseTeamAcct(o);
    one.activeSessions();
    FUZZ_CHECK(one.computeRev() == one.rev);
    QList<TeamAcct> team = decodeTeamAccounts(o);
    const TeamCounts counts = teamCounts(team);
    FUZZ_CHECK(counts.online <= counts.withTelemetry && counts.withTelemetry <= team.size());
    FUZZ_CHECK(counts.hot <= team.size());
    sortTeamAccounts(team);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    const QJsonObject answer = doc.isObject() ? doc.object() : QJsonObject();
    decodeAll(answer);
    // The same decoders one level down, where the answers nest their records.
    for (auto it = answer.begin(); it != answer.end(); ++it) {
        numbers(it.value());
        if (it.value().isObject())
            decodeAll(it.value().toObject());
        for (const QJsonObject &o : json::objects(it.value()))
            decodeAll(o);
    }
    return 0;
}

#include "teamanswer.h"

#include "teamacct_decode.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <simdjson.h>

#include <array>
#include <bitset>
#include <string_view>
#include <unordered_map>

namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;

// Every key the account decoder asks for, at any depth.
constexpr std::array kKeys{
    "email", "account_email", "provider", "member_id", "member_name", "group_name", "status", "auth_type",
    "has_key", "has_monitor", "in_registry", "five_hour_pct", "five_hour_resets_at", "seven_day_pct",
    "seven_day_resets_at", "cost_usd", "total_input", "total_output", "model", "version", "last_seen",
    "online", "has_telemetry", "limits", "source", "fetched_at", "severity", "extra_usage_pct",
    "weekly_scoped", "pct", "plan", "price", "currency", "pay_method", "renew_date", "notes", "cc_provider",
    "base_url", "five_hour_burn", "eta", "live_sessions", "project", "person", "active", "users", "name",
    "devices", "device_host", "os_user", "br_rev", "accounts",
};
constexpr size_t kKeyCount = kKeys.size();

int keyIndex(std::string_view k)
{
    static const std::unordered_map<std::string_view, int> index = [] {
        std::unordered_map<std::string_view, int> m;
        for (size_t i = 0; i < kKeyCount; ++i)
            m.emplace(kKeys[i], int(i));
        return m;
    }();
    const auto it = index.find(k);
    return it == index.end() ? -1 : it->second;
}

// Reads one simdjson object for decodeTeamAcct. The members are indexed once; a key that occurs
// twice keeps its last value, as Qt's parser does.
class SimdReader
{
public:
    SimdReader() = default;
    explicit SimdReader(simdjson::dom::object o)
    {
        for (simdjson::dom::key_value_pair kv : o) {
            const int i = keyIndex(kv.key);
            if (i < 0)
                continue;
            m_values[size_t(i)] = kv.value;
            m_present.set(size_t(i));
        }
    }

    bool isString(const char *k) const
    {
        const element *e = find(k);
        return e && e->type() == element_type::STRING;
    }
    QString text(const char *k, const QString &def = QString()) const
    {
        const element *e = find(k);
        std::string_view s;
        if (!e || e->get_string().get(s) != simdjson::SUCCESS)
            return def;
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    }
    double number(const char *k, double def = 0) const
    {
        const element *e = find(k);
        if (!e)
            return def;
        switch (e->type()) {
        case element_type::INT64:
            return double(int64_t(*e));
        case element_type::UINT64:
            return double(uint64_t(*e));
        case element_type::DOUBLE:
            return double(*e);
        case element_type::BOOL:
            return bool(*e) ? 1 : 0;
        default:
            return def;
        }
    }
    bool flag(const char *k) const
    {
        const element *e = find(k);
        return e && e->type() == element_type::BOOL && bool(*e);
    }
    SimdReader object(const char *k) const
    {
        const element *e = find(k);
        simdjson::dom::object o;
        if (!e || e->get_object().get(o) != simdjson::SUCCESS)
            return SimdReader();
        return SimdReader(o);
    }
    template<class F>
    void eachObject(const char *k, F f) const
    {
        const element *e = find(k);
        simdjson::dom::array arr;
        if (!e || e->get_array().get(arr) != simdjson::SUCCESS)
            return;
        // An array holding anything but objects counts as absent.
        for (element item : arr)
            if (item.type() != element_type::OBJECT)
                return;
        for (element item : arr)
            f(SimdReader(simdjson::dom::object(item)));
    }

private:
    const element *find(const char *k) const
    {
        const int i = keyIndex(k);
        return i >= 0 && m_present.test(size_t(i)) ? &m_values[size_t(i)] : nullptr;
    }

    std::array<element, kKeyCount> m_values{};
    std::bitset<kKeyCount> m_present;
};

} // namespace

namespace teamanswer {

std::optional<QList<TeamAcct>> viaSimdjson(const QByteArray &body)
{
    // One parser per thread: it keeps its buffers between answers.
    thread_local simdjson::dom::parser parser;
    element doc;
    if (parser.parse(body.constData(), size_t(body.size())).get(doc) != simdjson::SUCCESS)
        return std::nullopt;
    QList<TeamAcct> out;
    simdjson::dom::object top;
    if (doc.get_object().get(top) != simdjson::SUCCESS)
        return out; // valid JSON, but no object: no accounts
    SimdReader(top).eachObject("accounts", [&](const SimdReader &r) { out.append(decodeTeamAcct(r)); });
    sortTeamAccounts(out);
    return out;
}

QList<TeamAcct> viaQt(const QByteArray &body)
{
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return {};
    return decodeTeamAccounts(doc.object());
}

} // namespace teamanswer

QList<TeamAcct> decodeTeamAnswer(const QByteArray &body)
{
    if (std::optional<QList<TeamAcct>> fast = teamanswer::viaSimdjson(body))
        return *std::move(fast);
    return teamanswer::viaQt(body);
}

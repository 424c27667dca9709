#include "fakeanthropic.h"

namespace {

QByteArray event(const char *name, const QJsonObject &data)
{
    return QByteArray("event: ") + name + "\ndata: " + QJsonDocument(data).toJson(QJsonDocument::Compact) + "\n\n";
}

} // namespace

FakeAnthropic::FakeAnthropic()
{
    server.answer = [this](const Request &r) {
        return r.method == "POST" && r.path == QLatin1String("/v1/messages") ? messages(r) : Reply();
    };
}

Reply FakeAnthropic::messages(const Request &r) const
{
    const QString model = r.json.value(QStringLiteral("model")).toString(QStringLiteral("claude-sonnet-4-5"));
    const QJsonObject usage{{"input_tokens", inputTokens}, {"output_tokens", 1},
                            {"cache_read_input_tokens", 0}, {"cache_creation_input_tokens", 0}};
    QByteArray body;
    body += event("message_start", {{"type", "message_start"},
                                    {"message", QJsonObject{{"id", "msg_fake"}, {"type", "message"}, {"role", "assistant"},
                                                            {"model", model}, {"content", QJsonArray{}},
                                                            {"stop_reason", QJsonValue()}, {"usage", usage}}}});
    body += event("content_block_start", {{"type", "content_block_start"}, {"index", 0},
                                          {"content_block", QJsonObject{{"type", "text"}, {"text", ""}}}});
    body += event("content_block_delta", {{"type", "content_block_delta"}, {"index", 0},
                                          {"delta", QJsonObject{{"type", "text_delta"}, {"text", text}}}});
    body += event("content_block_stop", {{"type", "content_block_stop"}, {"index", 0}});
    body += event("message_delta", {{"type", "message_delta"},
                                    {"delta", QJsonObject{{"stop_reason", "end_turn"}, {"stop_sequence", QJsonValue()}}},
                                    {"usage", QJsonObject{{"output_tokens", outputTokens}}}});
    body += event("message_stop", {{"type", "message_stop"}});

    Reply reply = Reply::raw(200, body, "text/event-stream");
    reply.headers.append({QByteArray("request-id"), QByteArray("req_fake")});
    const auto window = [&reply](const QByteArray &name, const Window &w) {
        if (w.utilization < 0)
            return;
        reply.headers.append({"anthropic-ratelimit-unified-" + name + "-utilization", QByteArray::number(w.utilization)});
        reply.headers.append({"anthropic-ratelimit-unified-" + name + "-reset", QByteArray::number(w.resetsAt)});
    };
    window("5h", fiveHour);
    window("7d", sevenDay);
    return reply;
}

#include "fakeopenai.h"

namespace {

QByteArray event(const char *type, QJsonObject data)
{
    data.insert(QStringLiteral("type"), QLatin1String(type));
    return QByteArray("event: ") + type + "\ndata: " + QJsonDocument(data).toJson(QJsonDocument::Compact) + "\n\n";
}

} // namespace

FakeOpenAI::FakeOpenAI()
{
    server.answer = [this](const Request &r) {
        return r.method == "POST" && r.path == QLatin1String("/v1/responses") ? responses(r) : Reply();
    };
}

Reply FakeOpenAI::responses(const Request &r) const
{
    const QString model = r.json.value(QStringLiteral("model")).toString(QStringLiteral("gpt-5-codex"));
    const QJsonObject started{{"id", "resp_fake"}, {"object", "response"}, {"model", model},
                              {"created_at", QDateTime::currentSecsSinceEpoch()}, {"status", "in_progress"},
                              {"output", QJsonArray{}}};
    const QJsonObject message{{"type", "message"}, {"id", "msg_fake"}, {"role", "assistant"}, {"status", "completed"},
                              {"content", QJsonArray{QJsonObject{{"type", "output_text"}, {"text", text},
                                                                 {"annotations", QJsonArray{}}}}}};
    QJsonObject done = started;
    done["status"] = "completed";
    done["output"] = QJsonArray{message};
    done["usage"] = QJsonObject{{"input_tokens", inputTokens},
                                {"input_tokens_details", QJsonObject{{"cached_tokens", cachedTokens}}},
                                {"output_tokens", outputTokens},
                                {"output_tokens_details", QJsonObject{{"reasoning_tokens", 0}}},
                                {"total_tokens", inputTokens + outputTokens}};
    QJsonObject opening = message;
    opening["status"] = "in_progress";
    opening["content"] = QJsonArray{};
    QByteArray body;
    body += event("response.created", {{"response", started}});
    body += event("response.output_item.added", {{"output_index", 0}, {"item", opening}});
    body += event("response.output_text.delta",
                  {{"output_index", 0}, {"item_id", "msg_fake"}, {"content_index", 0}, {"delta", text}});
    body += event("response.output_item.done", {{"output_index", 0}, {"item", message}});
    body += event("response.completed", {{"response", done}});

    Reply reply = Reply::raw(200, body, "text/event-stream");
    const auto window = [&reply](const QByteArray &name, const Window &w) {
        if (w.usedPercent < 0)
            return;
        reply.headers.append({"x-codex-" + name + "-used-percent", QByteArray::number(w.usedPercent)});
        reply.headers.append({"x-codex-" + name + "-window-minutes", QByteArray::number(w.windowMinutes)});
        reply.headers.append({"x-codex-" + name + "-reset-at", QByteArray::number(w.resetsAt)});
    };
    window("primary", primary);
    window("secondary", secondary);
    return reply;
}

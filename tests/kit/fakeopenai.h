#pragma once
// FakeOpenAI: the OpenAI Responses API as the Codex CLI calls it, on a FakeServer of its own, for
// end-to-end runs of the real CLI against a custom model provider (base_url = api.url() + "/v1",
// wire_api "responses", a made-up key in the provider's env_key; no account).
//
//   FakeOpenAI api;                          // answers every POST /v1/responses with `text`
//   api.primary = {87, 300, resetEpoch};     // the usage windows in the answer's headers
//   ... QTRY_VERIFY(api.turns() >= 1);
//
// Each answer is one SSE stream (response.created ... response.completed) for the model that was
// asked for, with the usage in `inputTokens`/`cachedTokens`/`outputTokens`, and carries the
// x-codex-primary-* and x-codex-secondary-* headers Codex records as the rate_limits of its
// token_count events. A window whose percentage is negative is left out. Every other request gets {}.
#include "fakeserver.h"

class FakeOpenAI
{
public:
    struct Window { double usedPercent = -1; int windowMinutes = 0; qint64 resetsAt = 0; };

    FakeOpenAI();
    QString url() const { return server.url(); }
    int turns() const { return server.count(QStringLiteral("/v1/responses")); }

    Window primary, secondary;
    QString text = QStringLiteral("Hello from the fake.");
    int inputTokens = 1200, cachedTokens = 200, outputTokens = 340;
    FakeServer server;

private:
    Reply responses(const Request &r) const;
};

#pragma once
// FakeAnthropic: the Anthropic Messages API as Claude Code calls it, on a FakeServer of its own,
// for end-to-end runs of the real CLI (ANTHROPIC_BASE_URL=api.url(), CLAUDE_CODE_OAUTH_TOKEN=any).
//
//   FakeAnthropic api;                       // answers every POST /v1/messages with `text`
//   api.fiveHour = {0.86, resetEpoch};       // the subscription windows in the answer's headers
//   ... QTRY_VERIFY(api.turns() >= 1);
//
// Each answer is one SSE stream (message_start ... message_stop) for the model that was asked
// for, with the usage in `inputTokens`/`outputTokens`, and carries the
// anthropic-ratelimit-unified-5h-* and -7d-* headers Claude Code turns into the status line's
// "rate_limits". A window whose utilization is negative is left out. Every other request gets {}.
#include "fakeserver.h"

class FakeAnthropic
{
public:
    struct Window { double utilization = -1; qint64 resetsAt = 0; };

    FakeAnthropic();
    QString url() const { return server.url(); }
    int turns() const { return server.count(QStringLiteral("/v1/messages")); }

    Window fiveHour, sevenDay;
    QString text = QStringLiteral("Hello from the fake.");
    int inputTokens = 1200, outputTokens = 340;
    FakeServer server;

private:
    Reply messages(const Request &r) const;
};

// Every reading of an account's usage windows, from whatever source (a member's status line, a
// Codex session file, the demo's simulation), goes through recordWindowReading: the one place that
// decides which figures hold, raises the alerts and keeps the burn forecast.
#pragma once

#include "db.h"

#include <QString>

#include <optional>

struct Window {
    double pct = 0;       // percent of the window used, 0..100 (more when over)
    double resetsAt = 0;  // epoch seconds; 0 when unknown
};

struct WindowReading {
    QString provider;     // "claude", "codex", ...
    QString email;        // the account; must not be empty
    QString member;       // who reported it (the credential's member); may be empty
    QString host;         // the reporting machine; may be empty
    QString source = QStringLiteral("push");
    double at = 0;        // when the figures were measured, epoch seconds
    std::optional<Window> five, seven;
    QString model, version;
};

// Stores the reading inside the caller's transaction (touching Topic::Team). Per window, the
// newest reading wins: one measured before what is stored is ignored for that window. Returns
// whether any window changed.
bool recordWindowReading(Db &db, Tx &tx, const WindowReading &r);

// The reading as one JSON text and back, for a reading kept until its account is known.
QByteArray readingToJson(const WindowReading &r);
std::optional<WindowReading> readingFromJson(const QByteArray &json);

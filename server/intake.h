// What members' machines report, turned into the tables every answer is built from: accounts and
// their windows, live sessions, devices, presence, activity and usage per model and day. The
// HTTP routes (api_intake.cpp) and the demo's simulation both call these, so the demo runs the
// real path. Each runs inside the caller's transaction and touches the topics it changes.
//
// Privacy: only the named fields below are read from a report. Prompt texts (a hook's "prompt",
// a log record's "prompt" attribute) are never read, stored or answered.
#pragma once

#include "db.h"
#include "otlp.h"

#include <QJsonObject>
#include <QString>

namespace intake {

// Who sent a report and from where: the member comes from the credential, never from the body.
struct Source {
    QString member;
    QString host;      // the machine's host name, when it says
    QString account;   // the e-mail of the account signed in on the machine, when known
    QString tooling;   // the installed tooling's revision
    double now = 0;
};

constexpr double kSessionSilence = 15 * 60;  // a session without a sign of life this long is over
constexpr double kPresence = 5 * 60;         // a machine silent this long is offline

// Claude Code's status-line input; returns the line the status line prints.
QString statusLine(Db &db, Tx &tx, const Source &src, const QJsonObject &body);
// The line the status line prints for this input, from the input alone.
QString statusLineText(const QJsonObject &body);
// A Claude Code hook's input (SessionStart, UserPromptSubmit, Stop, SessionEnd, ...).
void hook(Db &db, Tx &tx, const Source &src, const QJsonObject &body);
// The presence agent's heartbeat: host, OS user, CLI versions, tooling revision.
void heartbeat(Db &db, Tx &tx, const Source &src, const QJsonObject &body);
// One Codex window reading taken from a session file's token_count event.
void codex(Db &db, Tx &tx, const Source &src, const QJsonObject &body);
// OTLP batches, decoded.
void metrics(Db &db, Tx &tx, const Source &src, const otlp::Batch &batch);
void logs(Db &db, Tx &tx, const Source &src, const otlp::Batch &batch);

// What a report says that would change what is stored, under its place in the memory of recent
// writes (recent.h): the member, the kind of report, the machine and the session.
struct Said {
    QString slot;
    QByteArray what;
};
Said statusLineSays(const Source &src, const QJsonObject &body);
QList<Said> logsSay(const Source &src, const otlp::Batch &batch);  // one per session named

// Records a batch's fingerprint; false when it was seen within the last day (a retry).
bool firstSight(Db &db, const QByteArray &fingerprint, double now);

// Ends silent sessions, takes silent machines and people offline, drops what has aged out of
// use. Returns the number of sessions, machines and people it changed.
int sweep(Db &db, Tx &tx, double now);

} // namespace intake

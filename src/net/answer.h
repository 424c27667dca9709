#pragma once
// How every answer of the team server is read, in one place: each reply is sorted once into a
// verdict that the loads and writes act on, so no screen can take a proxy's error page, a 500
// or a refusal for data or for success.
#include "net/http.h"

namespace answer {

// What the request was.
enum class Kind {
    Load,  // an authorised read whose answer is a JSON object
    Write, // an authorised change; the answer is a JSON object that may say "ok": false
    Data,  // an authorised read of bytes (a photo)
};

enum class Verdict {
    Ok,      // the answer the endpoint sends
    Failed,  // no answer, a time-out, a 5xx, an answer that is not what the endpoint sends, a refused write
    Expired, // 401: the session is over, the user signs in again
    Refused, // 403: the user's role does not allow it (any more)
    Unchanged, // 304 to a load that named the tag of the answer it holds: that answer still stands
};

Verdict sort(const HttpReply &r, Kind kind);

// True when the body's first and last non-blank characters enclose a JSON object. Answers too
// large to parse on the main thread are gated on this; their decoder reads them in full later.
bool looksLikeObject(const QByteArray &body);

// The server's own explanation of a refusal when it sent one as text, else `fallback`.
QString errorText(const HttpReply &r, const QString &fallback);

} // namespace answer

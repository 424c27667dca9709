// Conditional reads. Clients poll the team's answers every 30 seconds, and most polls find nothing
// changed: each answer carries an entity tag made from its bytes, and a request that names the tag
// it already holds (If-None-Match) gets "304 Not Modified" with no body, so neither side spends
// anything on an answer the client already has.
#pragma once

#include "httpcore.h"

#include <QByteArray>

namespace conditional {

// The strong tag of a body: a quoted BLAKE2b-128 digest in hex.
QByteArray tagOf(const QByteArray &body);

// True when an If-None-Match value names `tag` ("*", a list, weak forms compared weakly, as
// RFC 9110 asks for If-None-Match).
bool matches(const QByteArray &ifNoneMatch, const QByteArray &tag);

// Gives a 200 answer to a GET its tag (computed now unless the answer was stored with one) and
// turns it into a 304 when the request already holds it. Answers sent from a memory file without
// a tag are left alone rather than hashed on every request.
void apply(const HttpRequest &request, Reply &reply);

} // namespace conditional

#pragma once
// The whole "/api/accounts" answer, from its bytes to the sorted list of accounts, in one call
// that touches no shared state, so it can run on a worker thread. Large team answers are several
// megabytes; parsing them is most of a reload's cost.

#include "teamacct.h"

#include <QByteArray>
#include <QList>

// The accounts of the answer, decoded and in load order; a body that is not a JSON object, or
// holds no array of objects under "accounts", gives none (exactly as decodeTeamAccounts).
QList<TeamAcct> decodeTeamAnswer(const QByteArray &body);

namespace teamanswer {
// The two parsers behind it, for tests and benchmarks: simdjson straight into the records, and
// Qt's JSON parser followed by decodeTeamAccounts. The first gives nothing (no value) when it
// cannot read the text (a number too large for 64 bits, invalid UTF-8, not JSON); the caller
// then uses the second, which reads whatever Qt reads.
std::optional<QList<TeamAcct>> viaSimdjson(const QByteArray &body);
QList<TeamAcct> viaQt(const QByteArray &body);
} // namespace teamanswer

#include "conditional.h"

#include <sodium.h>

namespace conditional {

QByteArray tagOf(const QByteArray &body) {
    static const bool ready = sodium_init() >= 0;  // once, before the first digest
    Q_UNUSED(ready);
    unsigned char digest[16];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char *>(body.constData()),
                       size_t(body.size()), nullptr, 0);
    return '"' + QByteArray(reinterpret_cast<const char *>(digest), sizeof digest).toHex() + '"';
}

bool matches(const QByteArray &ifNoneMatch, const QByteArray &tag) {
    const QByteArray value = ifNoneMatch.trimmed();
    if (value == "*") return true;
    const QByteArray own = tag.startsWith("W/") ? tag.mid(2) : tag;
    for (QByteArray candidate : value.split(',')) {
        candidate = candidate.trimmed();
        if (candidate.startsWith("W/")) candidate = candidate.mid(2);
        if (!candidate.isEmpty() && candidate == own) return true;
    }
    return false;
}

void apply(const HttpRequest &request, Reply &reply) {
    if (request.method != "GET" || reply.status != 200) return;
    QByteArray tag;
    for (const auto &[name, value] : std::as_const(reply.headers))
        if (name == "ETag") tag = value;
    if (tag.isEmpty()) {
        if (reply.file) return;
        tag = tagOf(reply.body);
        reply.headers.append(qMakePair(QByteArray("ETag"), tag));
    }
    const QByteArray asked = request.header("if-none-match");
    if (asked.isEmpty() || !matches(asked, tag)) return;
    reply.status = 304;
    reply.body.clear();
    reply.file.reset();
}

} // namespace conditional

#include "outputdecoder.h"

namespace setup {

namespace {

// How many bytes a UTF-8 sequence that starts with `lead` claims (1 for anything else).
int claimedLength(uchar lead)
{
    if (lead >= 0xC0 && lead < 0xE0)
        return 2;
    if (lead >= 0xE0 && lead < 0xF0)
        return 3;
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    return 1;
}

bool isContinuation(uchar c) { return (c & 0xC0) == 0x80; }

// Where a trailing sequence starts that more bytes could still complete, or bytes.size().
qsizetype unfinishedTail(const QByteArray &bytes)
{
    const qsizetype n = bytes.size();
    for (qsizetype i = n - 1; i >= 0 && i >= n - 3; --i) {
        const uchar c = uchar(bytes[i]);
        if (isContinuation(c))
            continue;
        return claimedLength(c) > n - i ? i : n;
    }
    return n;
}

} // namespace

QString OutputDecoder::feed(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return QString();
    const QByteArray all = m_held + bytes;
    const qsizetype cut = unfinishedTail(all);
    m_held = all.mid(cut);
    // Cut only between whole sequences (or where a malformed one ends), so decoding each part on
    // its own gives what decoding the whole would.
    return QString::fromUtf8(all.left(cut));
}

QString OutputDecoder::finish()
{
    const QString rest = QString::fromUtf8(m_held);
    m_held.clear();
    return rest;
}

} // namespace setup

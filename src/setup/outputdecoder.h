#pragma once

#include <QByteArray>
#include <QString>

namespace setup {

// Turns the installer's output, read from its pipe in pieces of any size, into text: one UTF-8
// stream, so a character whose bytes straddle two reads is kept, not dropped, and malformed
// bytes become U+FFFD wherever the reads happen to cut. Feeding the pieces one by one gives the
// same text as decoding all the bytes at once.
//
// (QStringDecoder keeps state between calls too, but it loses the replacement character of a
// malformed sequence that a read cuts in two, so the text would depend on the pipe's timing.)
class OutputDecoder
{
public:
    // The text the bytes complete; an unfinished character at the end is held for the next call.
    QString feed(const QByteArray &bytes);
    // The end of the stream: a character left unfinished comes out as U+FFFD. Starts afresh.
    QString finish();
    void reset() { m_held.clear(); }

private:
    QByteArray m_held;   // the start of a character whose remaining bytes have not come yet
};

} // namespace setup

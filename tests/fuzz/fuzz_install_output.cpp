// The installer's output as the client reads it from the pipe: the same bytes cut into pieces
// of any size must give the same text as read in one go, and the steps it ticks only grow.
#include "fuzzcheck.h"
#include "setup/outputdecoder.h"
#include "setup/setupscript.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first four bytes choose the piece sizes, the rest is the output.
    if (size < 4)
        return 0;
    const uint8_t *cuts = data;
    const char *out = reinterpret_cast<const char *>(data + 4);
    const qsizetype len = qsizetype(size - 4);

    setup::OutputDecoder pieces;
    QString log;
    QList<bool> ticked(4, false);
    qsizetype pos = 0;
    for (int i = 0; pos < len; ++i) {
        const qsizetype n = qMin<qsizetype>(1 + cuts[i % 4] % 9, len - pos);
        const QString text = pieces.feed(QByteArray(out + pos, n));
        pos += n;
        if (text.isEmpty())
            continue;
        log += text;
        const QList<bool> now = setup::matchSteps(log);
        FUZZ_CHECK(now.size() == 4);
        for (int s = 0; s < 4; ++s) {
            FUZZ_CHECK(!ticked[s] || now[s]);
            ticked[s] = now[s];
        }
    }
    log += pieces.finish();

    setup::OutputDecoder whole;
    const QString once = whole.feed(QByteArray(out, len)) + whole.finish();
    FUZZ_CHECK(log == once);
    return 0;
}

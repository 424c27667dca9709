// The update feed reader, its choice of the newest release, and the version order and notes
// cleaner that it uses, on text from an unknown server.
#include "fuzzcheck.h"
#include "update/appcast.h"
#include "update/version.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    const AppcastParse feed = parseAppcast(bytes);
    FUZZ_CHECK(feed.error.isEmpty() != feed.items.isEmpty());
    if (const auto newest = newestItem(feed.items)) {
        for (const AppcastItem &item : feed.items) {
            FUZZ_CHECK(!isNewer(item, newest->version, newest->build));
            FUZZ_CHECK(item.link.isEmpty() || isSafeLink(item.link));
            FUZZ_CHECK(!item.version.isEmpty());
        }
    }

    // Version texts and notes straight from the input: the first line against the rest.
    const QString text = QString::fromUtf8(bytes);
    const qsizetype nl = text.indexOf(u'\n');
    const QString a = nl < 0 ? text : text.left(nl);
    const QString b = nl < 0 ? QString() : text.mid(nl + 1);
    FUZZ_CHECK(compareVersions(a, a) == 0);
    const int ab = compareVersions(a, b);
    FUZZ_CHECK(ab >= -1 && ab <= 1);
    FUZZ_CHECK(ab == -compareVersions(b, a));
    plainTextNotes(text);
    isSafeLink(a);
    return 0;
}

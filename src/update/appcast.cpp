#include "appcast.h"

#include "version.h"

#include <QHash>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>

#include <utility>

namespace {

const QString kSparkleNs = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

// Sparkle elements are matched by namespace when the feed declares it, and by their usual
// "sparkle:" prefix otherwise, so a sloppy feed still works.
bool isSparkle(const QXmlStreamReader &xml, QLatin1String name)
{
    if (xml.name() != name)
        return false;
    return xml.namespaceUri() == kSparkleNs || xml.prefix() == QLatin1String("sparkle");
}

QString sparkleAttr(const QXmlStreamAttributes &attrs, QLatin1String name)
{
    for (const QXmlStreamAttribute &a : attrs) {
        if (a.name() == name
            && (a.namespaceUri() == kSparkleNs || a.prefix() == QLatin1String("sparkle")))
            return a.value().toString().trimmed();
    }
    return {};
}

// Collects the text of an element, child elements included, but never the content of a
// <script> or <style> child. Block-level children leave a line break behind.
QString elementText(QXmlStreamReader &xml)
{
    static const QStringList blocks = {"p", "br", "div", "li", "ul", "ol", "tr", "h1", "h2",
                                       "h3", "h4", "h5", "h6", "pre", "blockquote"};
    QString out;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QString n = xml.name().toString().toLower();
            if (n == QLatin1String("script") || n == QLatin1String("style")) {
                xml.skipCurrentElement();
                break;
            }
            if (blocks.contains(n))
                out += QLatin1Char('\n');
            ++depth;
            break;
        }
        case QXmlStreamReader::EndElement:
            --depth;
            if (depth > 0 && blocks.contains(xml.name().toString().toLower())
                && xml.name() != QLatin1String("li") && xml.name() != QLatin1String("br"))
                out += QLatin1Char('\n');
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            out += xml.text();
            break;
        default:
            break;
        }
    }
    return out;
}

QString versionInTitle(const QString &title)
{
    static const QRegularExpression re(QStringLiteral(R"(\d+(?:\.\d+)*(?:-[0-9A-Za-z.]+)?)"));
    const QRegularExpressionMatch m = re.match(title);
    return m.hasMatch() ? m.captured(0) : title.trimmed();
}

struct RawItem
{
    QString title, shortVersion, version, description, link, enclosureUrl;
    QString os, channel;
};

AppcastItem finish(const RawItem &raw)
{
    AppcastItem item;
    item.version = !raw.shortVersion.isEmpty() ? raw.shortVersion : versionInTitle(raw.title);
    item.build = !raw.version.isEmpty() ? raw.version : item.version;
    if (item.version.isEmpty())
        item.version = item.build;
    item.notes = plainTextNotes(raw.description);

    // Both links must be safe: a feed that slips a file: or javascript: address into either
    // one is not trusted with the other.
    for (const QString &l : {raw.link, raw.enclosureUrl}) {
        if (!l.isEmpty() && !isSafeLink(l))
            item.linkRejected = true;
    }
    if (!item.linkRejected)
        item.link = !raw.link.isEmpty() ? raw.link : raw.enclosureUrl;
    return item;
}

void readItem(QXmlStreamReader &xml, RawItem &raw)
{
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("title") && xml.namespaceUri().isEmpty()) {
            raw.title = elementText(xml).trimmed();
        } else if (xml.name() == QLatin1String("link") && xml.namespaceUri().isEmpty()) {
            raw.link = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else if (xml.name() == QLatin1String("description") && xml.namespaceUri().isEmpty()) {
            raw.description = elementText(xml);
        } else if (isSparkle(xml, QLatin1String("shortVersionString"))) {
            raw.shortVersion = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else if (isSparkle(xml, QLatin1String("version"))) {
            raw.version = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else if (isSparkle(xml, QLatin1String("channel"))) {
            raw.channel = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else if (xml.name() == QLatin1String("enclosure")) {
            const QXmlStreamAttributes attrs = xml.attributes();
            raw.enclosureUrl = attrs.value(QLatin1String("url")).toString().trimmed();
            if (raw.version.isEmpty())
                raw.version = sparkleAttr(attrs, QLatin1String("version"));
            if (raw.shortVersion.isEmpty())
                raw.shortVersion = sparkleAttr(attrs, QLatin1String("shortVersionString"));
            raw.os = sparkleAttr(attrs, QLatin1String("os"));
            xml.skipCurrentElement();
        } else {
            xml.skipCurrentElement();
        }
    }
}

} // namespace

AppcastParse parseAppcast(const QByteArray &data)
{
    AppcastParse result;
    QXmlStreamReader xml(data);
    bool sawRss = false;
    bool sawItem = false;

    if (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("rss")) {
            result.error = QStringLiteral("ответ сервера обновлений не является лентой RSS");
            return result;
        }
        sawRss = true;
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("channel")) {
                xml.skipCurrentElement();
                continue;
            }
            while (xml.readNextStartElement()) {
                if (xml.name() != QLatin1String("item")) {
                    xml.skipCurrentElement();
                    continue;
                }
                sawItem = true;
                RawItem raw;
                readItem(xml, raw);
                // Releases for other systems and pre-release channels are not ours to offer.
                if (!raw.os.isEmpty() && raw.os.compare(QLatin1String("linux"), Qt::CaseInsensitive) != 0)
                    continue;
                if (!raw.channel.isEmpty())
                    continue;
                AppcastItem item = finish(raw);
                if (!item.version.isEmpty())
                    result.items << item;
            }
        }
    }
    // Read to the end so that damage after the last item is noticed too.
    while (!xml.atEnd() && !xml.hasError())
        xml.readNext();

    if (xml.hasError()) {
        result.items.clear();
        if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && !sawRss)
            result.error = QStringLiteral("сервер обновлений прислал пустой ответ");
        else
            result.error = QStringLiteral("лента обновлений повреждена: ошибка XML в строке %1, столбце %2")
                               .arg(xml.lineNumber())
                               .arg(xml.columnNumber());
    } else if (!sawRss) {
        result.error = QStringLiteral("ответ сервера обновлений не является лентой RSS");
    } else if (result.items.isEmpty()) {
        result.error = sawItem ? QStringLiteral("в ленте обновлений нет версий для этой системы")
                               : QStringLiteral("в ленте обновлений нет ни одной версии");
    }
    return result;
}

std::optional<AppcastItem> newestItem(const QList<AppcastItem> &items)
{
    std::optional<AppcastItem> best;
    for (const AppcastItem &item : items) {
        if (!best || isNewer(item, best->version, best->build))
            best = item;
    }
    return best;
}

bool isNewer(const AppcastItem &a, const QString &version, const QString &build)
{
    if (const int c = compareVersions(a.version, version))
        return c > 0;
    return compareVersions(a.build, build) > 0;
}

namespace {

QString decodeEntities(const QString &s)
{
    static const QHash<QString, QChar> named = {
        {"amp", u'&'},     {"lt", u'<'},      {"gt", u'>'},      {"quot", u'"'},
        {"apos", u'\''},   {"nbsp", u' '},    {"ndash", u'\u2013'}, {"mdash", u'\u2014'},
        {"laquo", u'\u00AB'}, {"raquo", u'\u00BB'}, {"hellip", u'\u2026'}, {"copy", u'\u00A9'},
        {"reg", u'\u00AE'}, {"trade", u'\u2122'}, {"bull", u'\u2022'}, {"rarr", u'\u2192'},
    };
    static const QRegularExpression re(QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9A-Fa-f]{1,6}|[A-Za-z]{2,8});"));
    QString out;
    qsizetype last = 0;
    auto it = re.globalMatch(s);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString ent = m.captured(1);
        QString rep;
        if (ent.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const bool hex = ent.size() > 1 && (ent[1] == QLatin1Char('x') || ent[1] == QLatin1Char('X'));
            const uint code = hex ? ent.mid(2).toUInt(&ok, 16) : ent.mid(1).toUInt(&ok, 10);
            // Control characters and non-characters are not text; they become nothing.
            if (ok && code >= 0x20 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)
                && !(code >= 0x7F && code < 0xA0)) {
                const char32_t c = code;
                rep = QString::fromUcs4(&c, 1);
            } else if (ok && (code == '\n' || code == '\t')) {
                rep = QChar(code);
            }
        } else if (const auto n = named.constFind(ent.toLower()); n != named.constEnd()) {
            rep = *n;
        } else {
            rep = m.captured(0); // unknown name: leave the text as it was
        }
        out += QStringView(s).mid(last, m.capturedStart() - last);
        out += rep;
        last = m.capturedEnd();
    }
    out += QStringView(s).mid(last);
    return out;
}

} // namespace

QString plainTextNotes(const QString &html)
{
    using RE = QRegularExpression;
    static const RE scripts(QStringLiteral(R"(<(script|style)\b[^>]*>.*?(</\1\s*>|$))"),
                            RE::CaseInsensitiveOption | RE::DotMatchesEverythingOption);
    static const RE comments(QStringLiteral("<!--.*?(-->|$)"), RE::DotMatchesEverythingOption);
    static const RE breaks(QStringLiteral(R"(<\s*(br|/p|/div|/h[1-6]|/tr|/pre|/blockquote|li|p|div|h[1-6])\b[^>]*>)"),
                           RE::CaseInsensitiveOption);
    static const RE tags(QStringLiteral(R"(<[/!?]?[A-Za-z][^>]*(>|$))"));
    static const RE spaces(QStringLiteral("[ \\t\\r\\f]+"));
    static const RE blankRuns(QStringLiteral("\\n{3,}"));

    QString s = html;
    s.remove(scripts);
    s.remove(comments);
    s.replace(breaks, QStringLiteral("\n"));
    s.remove(tags);
    s = decodeEntities(s);

    // Anything else that is not printable goes: controls become spaces, invisible format
    // characters (bidirectional overrides among them) are dropped, except the joiners that
    // hold emoji and some scripts together.
    QString clean;
    clean.reserve(s.size());
    for (const QChar c : std::as_const(s)) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\t'))
            clean += c;
        else if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
                 || c == QChar::ParagraphSeparator || c == QChar::Nbsp)
            clean += QLatin1Char(' ');
        else if (c.category() == QChar::Other_Format && c.unicode() != 0x200C && c.unicode() != 0x200D)
            continue;
        else
            clean += c;
    }
    s = clean;
    s.replace(spaces, QStringLiteral(" "));
    QStringList lines = s.split(QLatin1Char('\n'));
    for (QString &l : lines)
        l = l.trimmed();
    s = lines.join(QLatin1Char('\n'));
    s.replace(blankRuns, QStringLiteral("\n\n"));
    return s.trimmed();
}

bool isSafeLink(const QString &url)
{
    const QUrl u(url.trimmed(), QUrl::StrictMode);
    return u.isValid() && u.scheme() == QLatin1String("https") && !u.host().isEmpty()
        && u.userInfo().isEmpty();
}

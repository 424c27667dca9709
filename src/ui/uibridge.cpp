#include "uibridge.h"

#include "core/format.h"
#include "core/providers.h"
#include "core/uirules.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageReader>
#include <QQmlEngine>
#include <QResource>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const char *const kDefaultRoot = ":/Corvane/ui/resources";

QString &rootDir()
{
    static QString dir = QString::fromLatin1(kDefaultRoot);
    return dir;
}

// Successful image lookups, by resource name. A miss is not kept, so an image that appears
// later (a test pointing the root elsewhere) is found on the next call. Main thread only.
QHash<QString, QUrl> &imageCache()
{
    static QHash<QString, QUrl> cache;
    return cache;
}

QUrl urlForResourcePath(const QString &path)
{
    // ":/x/y.png" -> "qrc:/x/y.png"; a plain file path (tests) -> "file:///..."
    if (path.startsWith(QLatin1String(":/")))
        return QUrl(QLatin1String("qrc") + path);
    return QUrl::fromLocalFile(path);
}

bool decodes(const QString &path)
{
    QImageReader reader(path);
    return !reader.read().isNull();
}

} // namespace

void loadBundledFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QString dir = Ui::resourceRoot() + QLatin1String("/fonts/");
    static const char *const files[] = {
        "NotoSans-Regular.ttf", "NotoSans-Medium.ttf", "NotoSans-SemiBold.ttf",
        "NotoSans-Bold.ttf", "NotoSans-Black.ttf", "MaterialIcons-Regular.ttf",
    };
    for (const char *f : files) {
        const QString path = dir + QLatin1String(f);
        // A font added by its resource path is read whole onto the heap, and read whole once
        // more for each face drawn with it. Stored uncompressed, the resource already lies in
        // the program's mapped image: handed over in place, only the pages the glyphs need
        // are ever read, and they stay shared with the file.
        const QResource res(path);
        const int id = res.isValid() && res.compressionAlgorithm() == QResource::NoCompression
            ? QFontDatabase::addApplicationFontFromData(
                  QByteArray::fromRawData(reinterpret_cast<const char *>(res.data()), res.size()))
            : QFontDatabase::addApplicationFont(path);
        if (id < 0)
            qWarning("bundled font %s did not load", f);
    }
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QFont font(QStringLiteral("Noto Sans"));
        font.setPixelSize(13);
        QGuiApplication::setFont(font);
    }
}

Ui::Ui(QObject *parent) : QObject(parent) {}

Ui *Ui::create(QQmlEngine *qmlEngine, QJSEngine *)
{
    // Owned by the engine that asked for it; one per engine.
    auto *ui = new Ui(qmlEngine);
    QQmlEngine::setObjectOwnership(ui, QQmlEngine::CppOwnership);
    return ui;
}

QString Ui::gaugeTone(double pct) const { return ui::gaugeTone(pct); }
double Ui::gaugeFraction(double pct) const { return ui::gaugeFraction(pct); }
QString Ui::gaugeText(double pct) const { return ui::gaugeText(pct); }
double Ui::clamp01(double frac) const { return ui::clamp01(frac); }

QString Ui::providerKey(const QString &key) const { return ::providerKey(key); }
QString Ui::providerLabel(const QString &key) const { return providerMeta(key).label; }
QColor Ui::providerColor(const QString &key) const
{
    return QColor::fromString(providerColorHex(key));
}

QString Ui::resetText(double t) const { return fmt::resetText(t); }
QString Ui::dateShort(double t) const { return fmt::dateShort(t); }
QString Ui::dateLong(double t) const { return fmt::fmtDateLong(t); }
QString Ui::countdown(double t) const { return fmt::countdown(t); }
QString Ui::remainShort(double t) const { return fmt::remainShort(t); }
QString Ui::relSeen(double t) const { return fmt::relSeen(t); }
QString Ui::fmtTokens(double n) const { return fmt::fmtTokens(n); }
QString Ui::fmtDur(double seconds) const
{
    // QML numbers are doubles: truncate, and keep NaN and out-of-range values from being UB.
    if (!std::isfinite(seconds))
        return fmt::fmtDur(seconds > 0 ? std::numeric_limits<qint64>::max() : 0);
    const double lim = 9.0e18;
    return fmt::fmtDur(static_cast<qint64>(std::clamp(std::trunc(seconds), -lim, lim)));
}
QString Ui::shortModel(const QString &m) const { return fmt::shortModel(m); }
bool Ui::ccOld(const QString &version) const { return fmt::ccOld(version); }
QVariantMap Ui::renewInfo(const QString &renewDate) const
{
    const fmt::RenewInfo r = fmt::renewInfo(renewDate);
    return {{QStringLiteral("date"), r.date},
            {QStringLiteral("days"), r.days},
            {QStringLiteral("overdue"), r.overdue}};
}
QString Ui::appVersion() const { return fmt::appVersion(); }

QVariantList Ui::markRuns(const QString &text) const
{
    QVariantList out;
    for (const ui::TextRun &run : ui::markRuns(text))
        out.append(QVariantMap{{QStringLiteral("text"), run.text}, {QStringLiteral("mark"), run.mark}});
    return out;
}

QUrl Ui::imageUrl(const QString &name, bool inLogos)
{
    const QString cacheKey = (inLogos ? QLatin1String("logos:") : QLatin1String("top:")) + name;
    auto &cache = imageCache();
    if (auto it = cache.constFind(cacheKey); it != cache.constEnd())
        return *it;
    const QString file = name + QLatin1String(".png");
    QStringList candidates;
    if (inLogos)
        candidates << rootDir() + QLatin1String("/logos/") + file;
    candidates << rootDir() + QLatin1Char('/') + file;
    // The first file that exists is the one; if it does not decode there is no image (the top
    // level is not tried behind a broken logos/ file), and the miss is not remembered.
    for (const QString &path : std::as_const(candidates)) {
        if (!QFile::exists(path))
            continue;
        if (!decodes(path))
            return {};
        const QUrl url = urlForResourcePath(path);
        cache.insert(cacheKey, url);
        return url;
    }
    return {};
}

QUrl Ui::providerLogoUrl(const QString &key) const { return imageUrl(::providerKey(key), true); }
QUrl Ui::logoUrl() const { return imageUrl(QStringLiteral("logo"), false); }
QUrl Ui::aiIconUrl() const { return imageUrl(QStringLiteral("AI"), false); }

void Ui::copyText(const QString &text) const
{
    QClipboard *cb = QGuiApplication::clipboard();
    if (!cb)
        return;
    cb->clear();
    cb->setText(text);
}

void Ui::setResourceRoot(const QString &dir)
{
    rootDir() = dir.isEmpty() ? QString::fromLatin1(kDefaultRoot) : dir;
    imageCache().clear();
}

QString Ui::resourceRoot() { return rootDir(); }

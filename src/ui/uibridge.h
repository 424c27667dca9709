#pragma once
// The QML face of the display rules: the widgets of the theme call these instead of deciding
// anything themselves, so every rule (gauge colours, value texts, provider colours, resource
// lookups) is plain C++ with its own tests. Registered as the QML singleton `Ui`.

#include <QColor>
#include <QHash>
#include <QObject>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;

// Registers the bundled text and icon faces with the font database and makes the text face the
// application's default font. Call once after the QGuiApplication exists; later calls do nothing.
void loadBundledFonts();

class Ui : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    // Requires a parent so that QML uses create() below (and one instance per engine).
    explicit Ui(QObject *parent);
    static Ui *create(QQmlEngine *qmlEngine, QJSEngine *jsEngine);

    // Limit gauges.
    Q_INVOKABLE QString gaugeTone(double pct) const;
    Q_INVOKABLE double gaugeFraction(double pct) const;
    Q_INVOKABLE QString gaugeText(double pct) const;
    Q_INVOKABLE double clamp01(double frac) const;

    // Provider table.
    Q_INVOKABLE QString providerKey(const QString &key) const;
    Q_INVOKABLE QString providerLabel(const QString &key) const;
    Q_INVOKABLE QColor providerColor(const QString &key) const;

    // Display texts.
    Q_INVOKABLE QString resetText(double t) const;
    Q_INVOKABLE QString dateShort(double t) const;
    Q_INVOKABLE QString dateLong(double t) const;
    Q_INVOKABLE QString countdown(double t) const;
    Q_INVOKABLE QString remainShort(double t) const;
    Q_INVOKABLE QString relSeen(double t) const;
    Q_INVOKABLE QString fmtTokens(double n) const;
    Q_INVOKABLE QString fmtDur(double seconds) const;
    Q_INVOKABLE QString shortModel(const QString &m) const;
    Q_INVOKABLE bool ccOld(const QString &version) const;
    // {date, days, overdue} of a registry renewal date "yyyy-MM-dd".
    Q_INVOKABLE QVariantMap renewInfo(const QString &renewDate) const;
    Q_INVOKABLE QString appVersion() const;

    // Bundled images: the qrc URL of the provider's logo ("logos/<key>.png", else "<key>.png" at
    // the top of the resources), or an empty URL when there is none that decodes. Unknown keys
    // are looked up as "other", so a server-sent key never names an arbitrary resource path.
    Q_INVOKABLE QUrl providerLogoUrl(const QString &key) const;
    // The application mark "logo.png", or an empty URL.
    Q_INVOKABLE QUrl logoUrl() const;
    // The navigation template image "AI.png", or an empty URL.
    Q_INVOKABLE QUrl aiIconUrl() const;

    // A line cut into words and check marks for MarkedText: [{text, mark}] (ui::markRuns).
    Q_INVOKABLE QVariantList markRuns(const QString &text) const;

    // Clears the clipboard and puts `text` on it as plain text.
    Q_INVOKABLE void copyText(const QString &text) const;

    // Where the module's resources sit (qrc:/Corvane/ui/resources); tests point it elsewhere
    // to check the lookup rules against a folder of their own.
    static void setResourceRoot(const QString &dir);
    static QString resourceRoot();

private:
    static QUrl imageUrl(const QString &name, bool inLogos);
};

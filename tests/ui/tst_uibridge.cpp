// The QML bridge of the display rules: that QML reaches the rules through the `Ui` singleton,
// that the image lookups follow the bundled resources, and that the bundled fonts carry what the
// screens draw (Cyrillic text, every symbol of the icon table).
#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include "ui/uibridge.h"

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

class TstUiBridge : public QObject
{
    Q_OBJECT

    // Evaluates a QML expression with `import Corvane` and returns its value.
    QVariant qml(const QString &expr)
    {
        QQmlComponent c(&engine);
        c.setData(("import QtQuick\nimport Corvane\nQtObject { property var v: " + expr + " }").toUtf8(),
                  QUrl(QStringLiteral("qrc:/tst/expr.qml")));
        std::unique_ptr<QObject> o(c.create());
        if (!o) {
            qWarning() << c.errors();
            return {};
        }
        return o->property("v");
    }

    QQmlEngine engine;

private slots:
    void initTestCase()
    {
        loadBundledFonts();
        engine.addImportPath(QStringLiteral("qrc:/"));
    }

    void cleanup() { Ui::setResourceRoot({}); }

    // QML gets the singleton made by create(), and the calls reach the rules.
    void qmlReachesTheRules()
    {
        QCOMPARE(qml("Ui.gaugeTone(74.99)").toString(), QStringLiteral("accent"));
        QCOMPARE(qml("Ui.gaugeTone(75)").toString(), QStringLiteral("warn"));
        QCOMPARE(qml("Ui.gaugeTone(89.99)").toString(), QStringLiteral("warn"));
        QCOMPARE(qml("Ui.gaugeTone(90)").toString(), QStringLiteral("danger"));
        QCOMPARE(qml("Ui.gaugeText(0.5)").toString(), QStringLiteral("0%"));
        QCOMPARE(qml("Ui.gaugeText(0)").toString(), QStringLiteral("—"));
        QCOMPARE(qml("Ui.gaugeText(-4)").toString(), QStringLiteral("—"));
        QCOMPARE(qml("Ui.gaugeText(150)").toString(), QStringLiteral("150%"));
        QVERIFY(!qml("Ui.gaugeText(1e300)").toString().isEmpty());
        QCOMPARE(qml("Ui.gaugeFraction(150)").toDouble(), 1.0);
        QCOMPARE(qml("Ui.gaugeFraction(-5)").toDouble(), 0.0);
        QCOMPARE(qml("Ui.gaugeFraction(42)").toDouble(), 0.42);
        QCOMPARE(qml("Ui.clamp01(-0.1)").toDouble(), 0.0);
        QCOMPARE(qml("Ui.clamp01(1.7)").toDouble(), 1.0);
        QCOMPARE(qml("Ui.clamp01(NaN)").toDouble(), 0.0);
        // T maps the rule's role to the palette.
        QCOMPARE(qml("T.role(Ui.gaugeTone(95))").value<QColor>(), QColor(0xD9, 0x58, 0x4E));
        QCOMPARE(qml("T.role('nonsense')").value<QColor>(), QColor(0xD9, 0x78, 0x57));
    }

    void paletteTokens()
    {
        const QList<QPair<const char *, QRgb>> tokens = {
            {"bg", 0x0F0F11}, {"content", 0x1A1A1D}, {"surface", 0x202024},
            {"surfaceRaised", 0x26262A}, {"border", 0x2C2C31}, {"text", 0xF2F2F3},
            {"textSecondary", 0x9C9CA3}, {"textTertiary", 0x6E6E75}, {"accent", 0xD97857},
            {"accentPressed", 0xC56646}, {"warn", 0xE0A24B}, {"danger", 0xD9584E},
            {"ok", 0x5FB574}};
        for (const auto &[name, rgb] : tokens) {
            const QColor c = qml(QStringLiteral("T.") + QLatin1String(name)).value<QColor>();
            QCOMPARE(c.rgba(), qRgba(qRed(rgb), qGreen(rgb), qBlue(rgb), 255));
        }
    }

    void providerTable()
    {
        Ui ui(nullptr);
        QCOMPARE(ui.providerKey(QStringLiteral("codex")), QStringLiteral("codex"));
        QCOMPARE(ui.providerKey(QStringLiteral("nope")), QStringLiteral("other"));
        QCOMPARE(ui.providerLabel(QStringLiteral("minimax")), QStringLiteral("MiniMax"));
        QCOMPARE(ui.providerLabel(QStringLiteral("nope")), QStringLiteral("Other"));
        QCOMPARE(ui.providerColor(QStringLiteral("codex")), QColor(0x10, 0xA3, 0x7F));
        QCOMPARE(ui.providerColor(QStringLiteral("nope")), QColor(0x88, 0x88, 0xA0));
        QCOMPARE(qml("Ui.providerColor('kimi')").value<QColor>(), QColor(0x7C, 0x6C, 0xFF));
    }

    void textsAreForwarded()
    {
        Ui ui(nullptr);
        QCOMPARE(ui.fmtTokens(2345678), QStringLiteral("2.3M"));
        QCOMPARE(ui.fmtDur(3661), QStringLiteral("1ч 1м"));
        QCOMPARE(ui.fmtDur(59.9), QStringLiteral("0м"));
        QVERIFY(!ui.fmtDur(qInf()).isEmpty());
        QCOMPARE(ui.fmtDur(qQNaN()), QStringLiteral("0м"));
        QCOMPARE(ui.shortModel(QStringLiteral("claude-3-5-haiku-latest")), QStringLiteral("3-5-haiku"));
        QVERIFY(ui.ccOld(QStringLiteral("2.0.155")));
        QVERIFY(!ui.ccOld(QStringLiteral("2.0.156")));
        QCOMPARE(ui.resetText(0), QString());
        QCOMPARE(ui.countdown(0), QString());
        QCOMPARE(ui.relSeen(0), QString());
        QCOMPARE(ui.remainShort(-1), QString());
        QCOMPARE(ui.dateShort(0), QString());
        const QVariantMap r = ui.renewInfo(QString());
        QCOMPARE(r.value("date").toString(), QStringLiteral("—"));
        QCOMPARE(r.value("overdue").toBool(), false);
        QCOMPARE(ui.renewInfo(QStringLiteral("soon")).value("date").toString(), QStringLiteral("soon"));
        QVERIFY(!ui.appVersion().isEmpty());
        QCOMPARE(qml("Ui.fmtTokens(1500)").toString(), QStringLiteral("2k"));
    }

    void bundledImages()
    {
        Ui ui(nullptr);
        QCOMPARE(ui.logoUrl(), QUrl(QStringLiteral("qrc:/Corvane/ui/resources/logo.png")));
        QCOMPARE(ui.aiIconUrl(), QUrl(QStringLiteral("qrc:/Corvane/ui/resources/AI.png")));
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("claude")),
                 QUrl(QStringLiteral("qrc:/Corvane/ui/resources/logos/claude.png")));
        QVERIFY(!QImage(QStringLiteral(":/Corvane/ui/resources/logos/codex.png")).isNull());
        // No image for these: the widget draws the fallback symbol.
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("kimi")), QUrl());
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("no-such-provider")), QUrl());
        // A server-sent key is never used as a path: it reads as "other".
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("../logo")), QUrl());
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("../ui/resources/logo")), QUrl());
        QCOMPARE(QImage(ui.logoUrl().toString().mid(3)).width(), 128);
    }

    // The lookup order and the cache, against a folder of our own.
    void lookupRules()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Ui::setResourceRoot(dir.path());
        Ui ui(nullptr);
        QImage img(8, 8, QImage::Format_ARGB32);
        img.fill(Qt::red);

        QCOMPARE(ui.logoUrl(), QUrl()); // no logo.png: the widget draws the monogram
        QCOMPARE(ui.aiIconUrl(), QUrl());

        // A miss is not remembered: an image that appears later is found.
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("qwen")), QUrl());
        QVERIFY(img.save(dir.filePath(QStringLiteral("qwen.png"))));
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("qwen")),
                 QUrl::fromLocalFile(dir.filePath(QStringLiteral("qwen.png"))));
        // A hit is kept: a logos/ image added afterwards does not replace it.
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("logos")));
        QVERIFY(img.save(dir.filePath(QStringLiteral("logos/qwen.png"))));
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("qwen")),
                 QUrl::fromLocalFile(dir.filePath(QStringLiteral("qwen.png"))));

        // logos/ comes before the top level.
        QVERIFY(img.save(dir.filePath(QStringLiteral("glm.png"))));
        QVERIFY(img.save(dir.filePath(QStringLiteral("logos/glm.png"))));
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("glm")),
                 QUrl::fromLocalFile(dir.filePath(QStringLiteral("logos/glm.png"))));

        // A file that does not decode is no image, and is looked at again next time.
        QFile bad(dir.filePath(QStringLiteral("logos/deepseek.png")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a png");
        bad.close();
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("deepseek")), QUrl());
        QVERIFY(img.save(bad.fileName(), "PNG"));
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("deepseek")), QUrl::fromLocalFile(bad.fileName()));

        // Unknown keys look for the "other" image.
        QVERIFY(img.save(dir.filePath(QStringLiteral("logos/other.png"))));
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("whatever")),
                 QUrl::fromLocalFile(dir.filePath(QStringLiteral("logos/other.png"))));
    }

    void clipboard()
    {
        Ui ui(nullptr);
        QGuiApplication::clipboard()->setText(QStringLiteral("old"));
        ui.copyText(QStringLiteral("ключ sk-123"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("ключ sk-123"));
    }

    void fonts()
    {
        const QStringList families = QFontDatabase::families();
        QVERIFY(families.contains(QStringLiteral("Noto Sans")));
        QVERIFY(families.contains(QStringLiteral("Material Icons")));
        QCOMPARE(qml("T.font").toString(), QStringLiteral("Noto Sans"));
        QCOMPARE(qml("Icons.family").toString(), QStringLiteral("Material Icons"));
        QCOMPARE(QGuiApplication::font().family(), QStringLiteral("Noto Sans"));

        for (const char *f : {"Regular", "Medium", "SemiBold", "Bold", "Black"}) {
            QRawFont raw(QStringLiteral(":/Corvane/ui/resources/fonts/NotoSans-%1.ttf").arg(QLatin1String(f)), 13);
            QVERIFY2(raw.isValid(), f);
            for (QChar ch : QStringLiteral("АаЖжЁёЩщЪъЫыЭэЮюЯя—•№"))
                QVERIFY2(raw.supportsCharacter(ch), qPrintable(QStringLiteral("%1 lacks %2").arg(f).arg(ch)));
        }
    }

    // Every symbol the screens name is in the table and has a glyph in the icon font.
    void iconTable()
    {
        const QVariantMap codes = qml("Icons.codes").toMap();
        const QStringList needed = {
            "cpu", "arrow.clockwise", "doc.on.doc", "checkmark", "exclamationmark.triangle.fill",
            "checkmark.circle.fill", "gauge.with.dots.needle.67percent", "square.grid.2x2",
            "chart.line.uptrend.xyaxis", "waveform.path.ecg", "person.2.fill", "folder",
            "folder.fill", "checklist", "sidebar.left", "rectangle.portrait.and.arrow.right",
            "chevron.left", "chevron.right", "chevron.down", "magnifyingglass", "plus", "trash",
            "pencil", "person.crop.circle", "bell", "bell.badge.fill", "key.fill", "lock.fill",
            "xmark", "ellipsis", "circle.fill", "clock", "dollarsign.circle", "desktopcomputer",
            "person.fill", "person.3", "arrow.up", "arrow.down", "arrow.up.arrow.down",
            "arrow.left.arrow.right", "calendar", "envelope", "paperplane", "globe", "note.text",
            "lock", "bolt.fill", "camera.fill", "chart.bar", "checkmark.seal", "creditcard",
            "server.rack", "line.3.horizontal.decrease.circle"};
        for (const QString &n : needed)
            QVERIFY2(codes.contains(n), qPrintable(n));

        QRawFont icons(QStringLiteral(":/Corvane/ui/resources/fonts/MaterialIcons-Regular.ttf"), 24);
        QVERIFY(icons.isValid());
        for (auto it = codes.cbegin(); it != codes.cend(); ++it) {
            const uint cp = it.value().toUInt();
            QVERIFY2(icons.supportsCharacter(cp), qPrintable(it.key()));
            QCOMPARE(qml(QStringLiteral("Icons.glyph('%1')").arg(it.key())).toString(),
                     QString::fromUcs4(reinterpret_cast<const char32_t *>(&cp), 1));
        }
        QCOMPARE(qml("Icons.glyph('no.such.symbol')").toString(), QString());
    }
};

QTEST_MAIN(TstUiBridge)
#include "tst_uibridge.moc"

// The QML bridge of the display rules: QML reaches the rules through the `Ui` singleton, the
// image lookups follow the bundled resources, and the bundled fonts carry what the screens draw.
#include "testmain.h"

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
        if (!o)
            qWarning() << c.errors();
        return o ? o->property("v") : QVariant();
    }

    QQmlEngine engine;

private slots:
    void initTestCase()
    {
        loadBundledFonts();
        engine.addImportPath(QStringLiteral("qrc:/"));
    }

    void cleanup() { Ui::setResourceRoot({}); }

    // QML gets the singleton made by create(), and its calls reach the rules; T maps a rule's
    // role to a colour, unknown roles to the accent.
    void qmlReachesTheRules()
    {
        QCOMPARE(qml("Ui.gaugeTone(90)").toString(), QStringLiteral("danger"));
        QCOMPARE(qml("Ui.fmtTokens(1500)").toString(), QStringLiteral("2k"));
        QCOMPARE(qml("T.role(Ui.gaugeTone(95))").value<QColor>(), qml("T.danger").value<QColor>());
        QCOMPARE(qml("T.role('nonsense')").value<QColor>(), qml("T.accent").value<QColor>());
        QCOMPARE(qml("Ui.providerColor('nope')").value<QColor>(), qml("Ui.providerColor('other')").value<QColor>());
        Ui ui(nullptr);
        ui.copyText(QStringLiteral("ключ sk-123"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("ключ sk-123"));
    }

    void bundledImages()
    {
        Ui ui(nullptr);
        QCOMPARE(QImage(ui.logoUrl().toString().mid(3)).width(), 128);
        QVERIFY(!QImage(ui.providerLogoUrl(QStringLiteral("claude")).toString().mid(3)).isNull());
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("kimi")), QUrl()); // the widget draws the fallback symbol
        // A server-sent key is never used as a path: it reads as "other".
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("../logo")), QUrl());
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("../ui/resources/logo")), QUrl());
    }

    // The lookup order and the cache, against a folder of our own.
    void lookupRules()
    {
        QTemporaryDir dir;
        Ui::setResourceRoot(dir.path());
        Ui ui(nullptr);
        QImage img(8, 8, QImage::Format_ARGB32);
        img.fill(Qt::red);
        const auto at = [&](const QString &f) { return QUrl::fromLocalFile(dir.filePath(f)); };
        QCOMPARE(ui.logoUrl(), QUrl()); // no logo.png: the widget draws the monogram

        // logos/ comes before the top level.
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("logos")));
        QVERIFY(img.save(dir.filePath(QStringLiteral("glm.png"))));
        QVERIFY(img.save(dir.filePath(QStringLiteral("logos/glm.png"))));
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("glm")), at(QStringLiteral("logos/glm.png")));
        // A file that does not decode is no image, and is looked at again next time.
        QFile bad(dir.filePath(QStringLiteral("logos/deepseek.png")));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("not a png") > 0);
        bad.close();
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("deepseek")), QUrl());
        QVERIFY(img.save(bad.fileName(), "PNG"));
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("deepseek")), at(QStringLiteral("logos/deepseek.png")));
        // Unknown keys look for the "other" image.
        QVERIFY(img.save(dir.filePath(QStringLiteral("logos/other.png"))));
        QCOMPARE(ui.providerLogoUrl(QStringLiteral("whatever")), at(QStringLiteral("logos/other.png")));
    }

    // The bundled fonts: every weight has the Cyrillic the screens show, every icon of the table
    // has its glyph.
    void fonts()
    {
        QVERIFY(QFontDatabase::families().contains(QStringLiteral("Noto Sans")));
        QCOMPARE(QGuiApplication::font().family(), QStringLiteral("Noto Sans"));
        QCOMPARE(qml("Icons.family").toString(), QStringLiteral("Material Icons"));
        for (const char *f : {"Regular", "Medium", "SemiBold", "Bold", "Black"}) {
            QRawFont raw(QStringLiteral(":/Corvane/ui/resources/fonts/NotoSans-%1.ttf").arg(QLatin1String(f)), 13);
            QVERIFY2(raw.isValid(), f);
            for (QChar ch : QStringLiteral("АаЖжЁёЩщЪъЫыЭэЮюЯя—•№"))
                QVERIFY2(raw.supportsCharacter(ch), qPrintable(QStringLiteral("%1 lacks %2").arg(f).arg(ch)));
        }
        const QVariantMap codes = qml("Icons.codes").toMap();
        QVERIFY(codes.size() > 40);
        QRawFont icons(QStringLiteral(":/Corvane/ui/resources/fonts/MaterialIcons-Regular.ttf"), 24);
        for (auto it = codes.cbegin(); it != codes.cend(); ++it)
            QVERIFY2(icons.supportsCharacter(it.value().toUInt()), qPrintable(it.key()));
        QCOMPARE(qml("Icons.glyph('no.such.symbol')").toString(), QString());
    }
};

CORVANE_TEST_CLASS(TstUiBridge)
#include "tst_uibridge.moc"

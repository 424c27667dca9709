// Quick Test runner for the theme widgets: the module is linked statically, so its plugin is
// imported here and its files are found under qrc:/.
#include <QQmlEngine>
#include <QtPlugin>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

#include "ui/uibridge.h"

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

class Setup : public QObject
{
    Q_OBJECT
public slots:
    void applicationAvailable() { loadBundledFonts(); }
    void qmlEngineAvailable(QQmlEngine *engine) { engine->addImportPath(QStringLiteral("qrc:/")); }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_widgets_qml, Setup)

#include "tst_widgets_qml.moc"

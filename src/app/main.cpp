// corvane-team: the desktop client. Everything but the application object lives in the
// Corvane module (src/app/app.cpp).
#include "app/app.h"

#include <QApplication>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

int main(int argc, char **argv)
{
    CorvaneApp::tuneAllocator();
    // A QApplication, not a QGuiApplication: the tray icon and the file dialog are widgets.
    QApplication app(argc, argv);
    return CorvaneApp::run(app);
}

import QtQuick
import QtQuick.Window
import Corvane

// The tray item's panel: a frameless window as tall as its content. Showing it reloads the
// limits; the application hides it when it loses focus.
Window {
    id: panel
    objectName: "trayPanel"
    title: "Corvane Studio"
    flags: Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint
    width: 264
    height: content.implicitHeight
    color: T.content
    visible: false

    onVisibleChanged: if (visible) Store.reload()

    MenuContent {
        id: content
        anchors.fill: parent
    }
}

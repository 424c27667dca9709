import QtQuick
import Corvane

// The main window's content: one screen per phase (Shell.rootView names it).
Item {
    id: root
    objectName: "rootView"
    implicitWidth: 1000
    implicitHeight: 640
    readonly property string screen: Shell.rootView
    readonly property alias current: loader.item

    // Called when the window is shown.
    function shown() { Shell.rootShown() }

    Rectangle {
        anchors.fill: parent
        color: T.bg
    }

    Loader {
        id: loader
        objectName: "rootLoader"
        anchors.fill: parent
        source: root.screen + ".qml"
    }
}

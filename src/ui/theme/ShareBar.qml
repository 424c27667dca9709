import QtQuick
import QtQuick.Layouts
import Corvane

// A 6 px capsule share bar: the filled part is `frac` of the width, limited to 0..1.
Item {
    id: root
    property real frac: 0
    property color color: T.accent
    readonly property real fillWidth: width * Ui.clamp01(frac)

    Layout.fillWidth: true
    implicitWidth: 120
    implicitHeight: 6

    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: T.surfaceRaised
    }
    Rectangle {
        objectName: "fill"
        width: root.fillWidth
        height: parent.height
        visible: width > 0
        radius: height / 2
        color: root.color
    }
}

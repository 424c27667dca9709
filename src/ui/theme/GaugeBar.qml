import QtQuick
import QtQuick.Layouts
import Corvane

// The 5 px limit bar of the gauges: a rounded track with a fill of pct/100 (limited to 0..1)
// in the colour the limit rules give (accent, warn from 75 %, danger from 90 %).
Item {
    id: root
    property real pct: 0
    readonly property real fraction: Ui.gaugeFraction(pct)
    readonly property color tone: T.role(Ui.gaugeTone(pct))

    Layout.fillWidth: true
    implicitWidth: 80
    implicitHeight: 5

    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: T.surfaceRaised
    }
    Rectangle {
        objectName: "fill"
        width: root.width * root.fraction
        height: parent.height
        visible: width > 0
        radius: height / 2
        color: root.tone
    }
}

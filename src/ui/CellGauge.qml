import QtQuick
import QtQuick.Layouts
import Corvane

// A table cell gauge `w` px wide: the whole percentage ("—" for none) over a 4 px bar.
ColumnLayout {
    id: root
    property real pct: 0
    property real w: 90
    readonly property var g: AcRules.cellGauge(pct)

    Layout.preferredWidth: w
    Layout.maximumWidth: w
    spacing: 3

    Text {
        objectName: "value"
        text: root.g.text
        textFormat: Text.PlainText
        color: T.role(root.g.tone)
        font.pixelSize: T.caption
    }
    Item {
        Layout.fillWidth: true
        implicitHeight: 4
        Rectangle {
            anchors.fill: parent
            radius: 2
            color: T.surfaceRaised
        }
        Rectangle {
            objectName: "fill"
            width: parent.width * root.g.frac
            height: parent.height
            visible: width > 0
            radius: 2
            color: T.role(root.g.barTone)
        }
    }
}

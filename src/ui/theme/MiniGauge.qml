import QtQuick
import QtQuick.Layouts
import Corvane

// One line of the menu-bar panel: label in an 18 px column, the limit bar, the value ("N%"/"—").
RowLayout {
    id: root
    property string label
    property real pct: 0
    readonly property string valueText: Ui.gaugeText(pct)

    spacing: 6

    Text {
        Layout.preferredWidth: 18
        text: root.label
        textFormat: Text.PlainText
        color: T.textTertiary
        font.pixelSize: 10
    }
    GaugeBar {
        objectName: "bar"
        Layout.fillWidth: true
        Layout.alignment: Qt.AlignVCenter
        pct: root.pct
    }
    Text {
        objectName: "value"
        // Wide enough for "100%", so the bars of stacked gauges line up.
        Layout.preferredWidth: Math.max(implicitWidth, widest.advanceWidth)
        horizontalAlignment: Text.AlignRight
        text: root.valueText
        textFormat: Text.PlainText
        color: T.text
        font.pixelSize: 10
        TextMetrics {
            id: widest
            font.pixelSize: 10
            text: "100%"
        }
    }
}

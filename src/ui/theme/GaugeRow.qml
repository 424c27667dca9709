import QtQuick
import QtQuick.Layouts
import Corvane

// A full gauge of an own account: title and value, the limit bar, and the reset time when known.
ColumnLayout {
    id: root
    property string title
    property real pct: 0
    property real reset: 0
    readonly property string valueText: Ui.gaugeText(pct)
    readonly property string resetLine: Ui.resetText(reset)

    Layout.fillWidth: true
    spacing: 4

    RowLayout {
        Layout.fillWidth: true
        Text {
            Layout.fillWidth: true
            text: root.title
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: T.textSecondary
            font.pixelSize: T.caption
        }
        Text {
            objectName: "value"
            text: root.valueText
            textFormat: Text.PlainText
            color: T.text
            font.pixelSize: T.caption
        }
    }
    GaugeBar {
        objectName: "bar"
        Layout.fillWidth: true
        pct: root.pct
    }
    Text {
        objectName: "resetLine"
        visible: root.resetLine !== ""
        text: root.resetLine
        textFormat: Text.PlainText
        color: T.textTertiary
        font.pixelSize: T.caption2
    }
}

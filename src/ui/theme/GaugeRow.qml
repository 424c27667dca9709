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
        CvText {
            Layout.fillWidth: true
            text: root.title
            elide: Text.ElideRight
            color: T.textSecondary
            role: CvText.Caption
        }
        CvText {
            objectName: "value"
            text: root.valueText
            role: CvText.Caption
        }
    }
    GaugeBar {
        objectName: "bar"
        Layout.fillWidth: true
        pct: root.pct
    }
    CvText {
        objectName: "resetLine"
        visible: root.resetLine !== ""
        text: root.resetLine
        color: T.textTertiary
        role: CvText.Caption2
    }
}

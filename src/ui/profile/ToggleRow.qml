import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// One on/off setting: the switch, its label and, when given, a note under it.
Switch {
    id: control
    property string note: ""

    Layout.fillWidth: true
    padding: 0
    Accessible.name: text
    indicator: Rectangle {
        implicitWidth: 34
        implicitHeight: 20
        x: control.leftPadding
        y: 2
        radius: 10
        color: control.checked ? T.accent : T.surfaceRaised
        border.width: 1
        border.color: T.border
        FocusRing {
            control: parent.parent // the switch; the ring goes round its track
            cornerRadius: 10
        }
        Rectangle {
            x: control.checked ? parent.width - width - 3 : 3
            y: 3
            width: 14
            height: 14
            radius: 7
            color: "white"
        }
    }
    contentItem: Column {
        leftPadding: control.indicator.width + 10
        spacing: 2
        Text {
            text: control.text
            textFormat: Text.PlainText
            color: T.text
            font.pixelSize: 13
        }
        CvText {
            visible: control.note !== ""
            text: control.note
            color: T.textTertiary
            role: CvText.Caption
        }
    }
}

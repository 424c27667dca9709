import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The secondary action: 13 px medium label in `text` on an outlined `surface` plate.
// An optional `symbol` (platform symbol name) is drawn before the label.
Button {
    id: control
    property string symbol: ""
    property color textColor: T.text

    leftPadding: 14
    rightPadding: 14
    topPadding: 8
    bottomPadding: 8
    hoverEnabled: true
    font.pixelSize: 13
    font.weight: Font.Medium

    FocusRing { cornerRadius: 10 }

    contentItem: RowLayout {
        spacing: 0
        Item { Layout.fillWidth: true }
        Icon {
            Layout.rightMargin: control.text !== "" ? 6 : 0
            visible: control.symbol !== ""
            name: control.symbol
            size: 14
            color: control.textColor
        }
        Text {
            visible: control.text !== ""
            text: control.text
            textFormat: Text.PlainText
            font: control.font
            color: control.textColor
        }
        Item { Layout.fillWidth: true }
    }

    background: Rectangle {
        radius: 10
        color: control.down ? T.surfaceRaised : T.surface
        border.width: 1
        border.color: control.hovered && !control.down ? Qt.lighter(T.border, 1.35) : T.border
    }

    opacity: enabled ? 1 : 0.5
}

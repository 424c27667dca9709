import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// A menu entry in the theme's colours: the label, an optional trailing symbol, and the danger
// colour for a destructive action.
MenuItem {
    id: control
    property string trailingSymbol: ""
    property bool destructive: false

    implicitHeight: 30
    leftPadding: 12
    rightPadding: 12
    font.pixelSize: T.callout

    contentItem: RowLayout {
        spacing: 8
        Text {
            Layout.fillWidth: true
            text: control.text
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: control.destructive ? T.danger : T.text
            font: control.font
        }
        Icon {
            visible: control.trailingSymbol !== ""
            name: control.trailingSymbol
            size: 13
            color: T.textSecondary
        }
    }
    background: Rectangle {
        implicitWidth: 180
        radius: 6
        color: control.highlighted || control.visualFocus ? T.surfaceRaised : "transparent"
    }
}

import QtQuick
import QtQuick.Layouts
import Corvane

// A figure tile: caption title, the value big and bold in the tile's colour, and an optional
// third line `sub` (no line at all when it is empty).
Rectangle {
    id: root
    property string title
    property string value
    property color accent: T.text
    property string sub

    Layout.fillWidth: true
    implicitWidth: col.implicitWidth + 28
    implicitHeight: col.implicitHeight + 28
    radius: 12
    color: T.surface
    border.width: 1
    border.color: T.border

    ColumnLayout {
        id: col
        anchors.fill: parent
        anchors.margins: 14
        spacing: 4

        Text {
            Layout.fillWidth: true
            text: root.title
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: T.textSecondary
            font.pixelSize: T.caption
        }
        Text {
            Layout.fillWidth: true
            text: root.value
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: root.accent
            font.pixelSize: 22
            font.bold: true
        }
        Text {
            objectName: "subLine"
            Layout.fillWidth: true
            visible: root.sub !== ""
            text: root.sub
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: T.textTertiary
            font.pixelSize: T.caption2
        }
        Item { Layout.fillHeight: true }
    }
}

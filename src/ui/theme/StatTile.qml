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

        CvText {
            Layout.fillWidth: true
            text: root.title
            elide: Text.ElideRight
            color: T.textSecondary
            role: CvText.Caption
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
        CvText {
            objectName: "subLine"
            Layout.fillWidth: true
            visible: root.sub !== ""
            text: root.sub
            elide: Text.ElideRight
            color: T.textTertiary
            role: CvText.Caption2
        }
        Item { Layout.fillHeight: true }
    }
}

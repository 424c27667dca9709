import QtQuick
import Corvane

// A row of small chips, one per item in order. An item is {label, value, flag}; a false flag
// puts a warning triangle before the label.
Row {
    id: root
    property var items: []

    spacing: 6

    Repeater {
        model: root.items
        delegate: Rectangle {
            id: chipItem
            required property var modelData
            implicitWidth: chip.implicitWidth + 16
            implicitHeight: chip.implicitHeight + 6
            radius: 6
            color: T.surfaceRaised

            Row {
                id: chip
                anchors.centerIn: parent
                spacing: 4
                Icon {
                    objectName: "warnIcon"
                    anchors.verticalCenter: parent.verticalCenter
                    visible: !chipItem.modelData.flag
                    name: "exclamationmark.triangle.fill"
                    size: 8
                    color: T.warn
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: chipItem.modelData.label === undefined ? "" : String(chipItem.modelData.label)
                    textFormat: Text.PlainText
                    color: T.textSecondary
                    font.pixelSize: T.caption2
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: chipItem.modelData.value === undefined ? "" : String(chipItem.modelData.value)
                    textFormat: Text.PlainText
                    color: T.textTertiary
                    font.pixelSize: T.caption2
                }
            }
        }
    }
}

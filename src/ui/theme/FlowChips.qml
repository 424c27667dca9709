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
                CvText {
                    anchors.verticalCenter: parent.verticalCenter
                    text: chipItem.modelData.label === undefined ? "" : String(chipItem.modelData.label)
                    color: T.textSecondary
                    role: CvText.Caption2
                }
                CvText {
                    anchors.verticalCenter: parent.verticalCenter
                    text: chipItem.modelData.value === undefined ? "" : String(chipItem.modelData.value)
                    color: T.textTertiary
                    role: CvText.Caption2
                }
            }
        }
    }
}

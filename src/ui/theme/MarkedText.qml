pragma ComponentBehavior: Bound
import QtQuick
import Corvane

// A caption whose check-mark emoji (✅) is drawn as a small green badge: none of the bundled
// faces has that glyph, and the desktop's may not either. Text without the mark is one plain,
// wrapping Text.
Item {
    id: root
    property string text
    property color color: T.textTertiary
    property int pixelSize: T.caption
    readonly property var runs: Ui.markRuns(text)
    readonly property bool marked: runs.some(r => r.mark)

    implicitWidth: marked ? row.implicitWidth : plain.implicitWidth
    implicitHeight: marked ? row.implicitHeight : plain.implicitHeight

    Text {
        id: plain
        visible: !root.marked
        width: root.width
        text: root.text
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        color: root.color
        font.pixelSize: root.pixelSize
    }

    Row {
        id: row
        visible: root.marked
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: Math.round(root.pixelSize * 0.3)

        Repeater {
            model: root.marked ? root.runs : []
            delegate: Item {
                id: run
                required property var modelData
                width: modelData.mark ? badge.width : words.implicitWidth
                height: Math.max(words.implicitHeight, badge.height)

                Text {
                    id: words
                    visible: !run.modelData.mark
                    anchors.verticalCenter: parent.verticalCenter
                    text: run.modelData.text
                    textFormat: Text.PlainText
                    color: root.color
                    font.pixelSize: root.pixelSize
                }
                Rectangle {
                    id: badge
                    objectName: run.modelData.mark ? "textMark" : ""
                    visible: run.modelData.mark
                    anchors.verticalCenter: parent.verticalCenter
                    width: Math.round(root.pixelSize * 1.25)
                    height: width
                    radius: Math.round(width * 0.22)
                    color: T.ok
                    Icon {
                        anchors.centerIn: parent
                        name: "checkmark"
                        size: Math.round(parent.width * 0.85)
                        color: "white"
                    }
                }
            }
        }
    }
}

import QtQuick
import QtQuick.Layouts
import Corvane

// One person on the activity screen: presence dot, name and the time · cost · sessions line,
// the time outside work projects, and chips of the first six projects.
Rectangle {
    id: card
    required property string name
    required property bool online
    required property string header
    required property string offwork
    required property var chips
    property bool current: false

    implicitHeight: col.implicitHeight + 28
    radius: 12
    color: T.surface
    border.width: 1
    border.color: current ? Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.6) : T.border
    Accessible.role: Accessible.ListItem
    Accessible.name: card.name

    ColumnLayout {
        id: col
        x: 14
        y: 14
        width: card.width - 28
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Rectangle {
                objectName: "presenceDot"
                implicitWidth: 8
                implicitHeight: 8
                radius: 4
                color: card.online ? T.ok : T.textTertiary
            }
            Text {
                objectName: "personName"
                text: card.name
                textFormat: Text.PlainText
                elide: Text.ElideRight
                Layout.maximumWidth: col.width * 0.5
                color: T.text
                font.pixelSize: T.callout
            }
            Text {
                objectName: "personHeader"
                Layout.fillWidth: true
                text: card.header
                textFormat: Text.PlainText
                elide: Text.ElideRight
                color: T.textSecondary
                font.pixelSize: T.caption
            }
        }
        Text {
            objectName: "offwork"
            visible: card.offwork !== ""
            text: card.offwork
            textFormat: Text.PlainText
            color: T.warn
            font.pixelSize: T.caption2
        }
        FlowChips {
            objectName: "projectChips"
            Layout.fillWidth: true
            Layout.preferredWidth: col.width
            clip: true
            visible: card.chips.length > 0
            items: card.chips
        }
    }
}

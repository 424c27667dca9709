import QtQuick
import QtQuick.Layouts
import Corvane

// The header of one owner's group in the "people" mode: presence dot, owner, account count and
// the group's highest use and total cost.
Rectangle {
    id: root
    property string name
    property string countText
    property string summary
    property bool online: false

    implicitHeight: row.implicitHeight + 16
    color: Qt.rgba(T.bg.r, T.bg.g, T.bg.b, 0.5)
    Accessible.role: Accessible.Heading
    Accessible.name: name

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        anchors.topMargin: 8
        anchors.bottomMargin: 8
        spacing: 8

        Rectangle {
            objectName: "dot"
            implicitWidth: 7
            implicitHeight: 7
            radius: 3.5
            color: T.role(AcRules.liveTone(root.online ? "ok" : "textTertiary", Store.serverLost))
        }
        Text {
            objectName: "groupName"
            text: root.name
            textFormat: Text.PlainText
            elide: Text.ElideRight
            Layout.maximumWidth: 360
            color: T.text
            font.pixelSize: 12
            font.weight: Font.DemiBold
        }
        Tag {
            text: root.countText
        }
        Text {
            objectName: "groupSummary"
            text: root.summary
            textFormat: Text.PlainText
            color: T.textSecondary
            font.pixelSize: T.caption
        }
        Item { Layout.fillWidth: true }
    }
}

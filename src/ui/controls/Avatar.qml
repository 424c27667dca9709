import QtQuick
import Corvane

// The user's picture in a circle of `size`: Store.profile.avatar when there is one, else the initials
// on an accent tint. Outlined in `border`.
Item {
    id: root
    property real size: 34
    readonly property bool hasImage: Store.profile.hasAvatar

    implicitWidth: size
    implicitHeight: size

    Rectangle {
        anchors.fill: parent
        radius: width / 2
        visible: !root.hasImage
        color: Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.22)
        Text {
            objectName: "initials"
            anchors.centerIn: parent
            text: Store.initials
            textFormat: Text.PlainText
            color: T.accent
            font.pixelSize: Math.max(1, root.size * 0.4)
            font.weight: Font.DemiBold
        }
    }
    Image {
        objectName: "photo"
        anchors.fill: parent
        visible: root.hasImage
        cache: false
        source: root.hasImage ? "image://corvane/round/self/" + Store.profile.avatarRevision : ""
        sourceSize.width: Math.ceil(root.size * 2)
        sourceSize.height: Math.ceil(root.size * 2)
        smooth: true
    }
    Rectangle {
        anchors.fill: parent
        radius: width / 2
        color: "transparent"
        border.width: 1
        border.color: T.border
    }
}

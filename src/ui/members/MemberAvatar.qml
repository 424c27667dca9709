import QtQuick
import Corvane

// A member's picture in a circle: the cached photo when Store has one, else the initials on an
// accent tint. Showing it asks Store for the photo, which fetches it only when it is missing or
// out of date.
Item {
    id: root
    property var member
    property string memberId
    property string initials
    property real size: 38
    readonly property bool hasImage: Store.memberAvatarsRevision >= 0 && root.memberId !== ""
                                     && Store.hasMemberAvatar(root.memberId)

    implicitWidth: size
    implicitHeight: size

    function ensure() {
        if (root.member)
            Store.ensureMemberAvatar(root.member)
    }
    Component.onCompleted: ensure()
    onMemberChanged: ensure()

    Rectangle {
        anchors.fill: parent
        radius: width / 2
        visible: !root.hasImage
        color: Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.22)
        Text {
            objectName: "initials"
            anchors.centerIn: parent
            text: root.initials
            textFormat: Text.PlainText
            color: T.accent
            font.pixelSize: Math.max(1, root.size * 0.38)
            font.weight: Font.DemiBold
        }
    }
    Image {
        objectName: "photo"
        anchors.fill: parent
        visible: root.hasImage
        cache: false
        asynchronous: false
        source: root.hasImage ? "image://corvane/round/member/" + encodeURIComponent(root.memberId) + "/"
                                + Store.memberAvatarsRevision : ""
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

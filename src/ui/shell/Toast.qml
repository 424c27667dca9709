import QtQuick
import Corvane

// Store.toast over the content, centred 24 px above the bottom. It slides up from the bottom
// edge with a fade and leaves the same way (0.2 s, ease in-out); the Store decides how long
// it stays. The last text is kept while it slides out.
Item {
    id: root
    objectName: "toastLayer"
    readonly property bool showing: Store.toast !== ""
    property string shownText: ""

    Connections {
        target: Store
        function onToastChanged() { if (Store.toast !== "") root.shownText = Store.toast }
    }
    Component.onCompleted: if (Store.toast !== "") shownText = Store.toast

    Item {
        id: bubble
        objectName: "toast"
        width: Math.min(label.implicitWidth, Math.max(0, root.width - 80)) + 32
        height: label.implicitHeight + 20
        anchors.horizontalCenter: parent.horizontalCenter
        y: root.showing ? root.height - 24 - height : root.height
        opacity: root.showing ? 1 : 0
        visible: opacity > 0
        readonly property string text: root.shownText

        Behavior on y { NumberAnimation { duration: 200; easing.type: Easing.InOutQuad } }
        Behavior on opacity { NumberAnimation { duration: 200; easing.type: Easing.InOutQuad } }

        // A soft black shadow at 30 %.
        Rectangle {
            x: -2; y: 2
            width: parent.width + 4
            height: parent.height + 4
            radius: 12
            color: Qt.rgba(0, 0, 0, 0.3)
        }
        Rectangle {
            anchors.fill: parent
            radius: 10
            color: T.surfaceRaised
            border.width: 1
            border.color: T.border
        }
        CvText {
            id: label
            anchors.centerIn: parent
            width: bubble.width - 32
            text: root.shownText
            elide: Text.ElideRight
            role: CvText.Callout
        }
    }
}

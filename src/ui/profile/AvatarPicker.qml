import QtQuick
import QtQuick.Controls.Basic
import Corvane

// A picture in a circle of `size` (the avatar declared inside) with the round camera button on
// its lower right corner, both named "Сменить фото"; `pick` asks for a new photo.
Item {
    id: root
    property real size: 64
    property real cameraSize: 24
    default property alias avatar: face.data
    signal pick()

    implicitWidth: size
    implicitHeight: size

    Item {
        id: face
        anchors.fill: parent
        ToolTip.text: "Сменить фото"
        ToolTip.visible: hover.hovered
        ToolTip.delay: 500
        HoverHandler {
            id: hover
        }
    }
    Button {
        id: camera
        objectName: "cameraButton"
        x: root.width - width + 2
        y: root.height - height + 2
        width: root.cameraSize
        height: root.cameraSize
        flat: true
        hoverEnabled: true
        Accessible.name: "Сменить фото"
        onClicked: root.pick()
        contentItem: Icon {
            name: "camera.fill"
            size: Math.round(root.cameraSize * 0.55)
            color: T.text
        }
        background: Rectangle {
            radius: width / 2
            color: camera.down ? T.surface : T.surfaceRaised
            border.width: 1
            border.color: T.border
        }
        FocusRing { cornerRadius: camera.width / 2 }
    }
}

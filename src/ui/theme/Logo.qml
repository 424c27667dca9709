import QtQuick
import Corvane

// The application mark in a `size` square: the bundled logo.png, or, if it is missing, an accent
// rounded square (corner 0.22 of the size) with the product's initial in white bold.
Item {
    id: root
    property real size: 26

    readonly property string source: Ui.logoUrl()

    implicitWidth: size
    implicitHeight: size

    Image {
        anchors.fill: parent
        visible: root.source !== ""
        source: root.source
        fillMode: Image.PreserveAspectFit
        sourceSize.width: Math.ceil(root.size * 2)
        sourceSize.height: Math.ceil(root.size * 2)
        smooth: true
        mipmap: true
    }

    Rectangle {
        objectName: "monogram"
        anchors.fill: parent
        visible: root.source === ""
        radius: root.size * 0.22
        color: T.accent
        Text {
            anchors.centerIn: parent
            text: "C" // first letter of "Corvane"
            textFormat: Text.PlainText
            color: "white"
            font.pixelSize: Math.max(1, root.size * 0.5)
            font.bold: true
        }
    }
}

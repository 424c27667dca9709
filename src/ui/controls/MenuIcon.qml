import QtQuick
import Corvane

// The 26x24 icon of a section: its symbol at 17 px, or for the AI resources the bundled
// template image "AI.png" (21x21, in the foreground colour), or the text "AI" when the image
// is missing. White when active, else textSecondary.
Item {
    id: root
    property string key
    property string symbol
    property bool active: false
    readonly property color tint: active ? "white" : T.textSecondary
    readonly property string aiUrl: key === "accounts" ? String(Ui.aiIconUrl()) : ""
    readonly property bool usesImage: key === "accounts" && aiUrl !== ""

    implicitWidth: 26
    implicitHeight: 24

    Icon {
        anchors.centerIn: parent
        visible: root.key !== "accounts"
        name: root.symbol
        size: 17
        color: root.tint
    }
    Image {
        objectName: "aiImage"
        anchors.centerIn: parent
        width: 21
        height: 21
        visible: root.usesImage
        source: root.usesImage
                ? "image://corvane/template/" + root.tint.toString().slice(1) + "/" + encodeURIComponent(root.aiUrl)
                : ""
        sourceSize.width: 42
        sourceSize.height: 42
        fillMode: Image.PreserveAspectFit
        smooth: true
        mipmap: true
    }
    Text {
        objectName: "aiText"
        anchors.centerIn: parent
        visible: root.key === "accounts" && !root.usesImage
        text: "AI"
        textFormat: Text.PlainText
        color: root.tint
        font.pixelSize: 14
        font.weight: Font.Black
    }
}

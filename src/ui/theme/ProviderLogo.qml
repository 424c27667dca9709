import QtQuick
import Corvane

// A provider's logo in a `size` square: the bundled image for the provider key when there is
// one, otherwise the "cpu" symbol in the provider's table colour (unknown keys read as "other").
Item {
    id: root
    property string provider
    property real size: 16

    readonly property string source: Ui.providerLogoUrl(provider)

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
        asynchronous: false
    }

    Icon {
        objectName: "fallback"
        anchors.centerIn: parent
        visible: root.source === ""
        name: "cpu"
        size: root.size
        color: Ui.providerColor(root.provider)
    }
}

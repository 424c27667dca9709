import QtQuick
import Corvane

// The registry status as a capsule: HOLD in warn, ACTIVE in ok (any other word reads Active).
Rectangle {
    id: root
    property string text
    property string tone: "ok"
    readonly property color tint: T.role(tone)

    implicitWidth: label.implicitWidth + 14
    implicitHeight: label.implicitHeight + 4
    radius: height / 2
    color: Qt.rgba(tint.r, tint.g, tint.b, 0.15)

    Text {
        id: label
        anchors.centerIn: parent
        text: root.text
        textFormat: Text.PlainText
        color: root.tint
        font.pixelSize: 10
        font.weight: Font.DemiBold
        font.capitalization: Font.AllUppercase
    }
}

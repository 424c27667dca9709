import QtQuick
import Corvane

// The member type as a small capsule: "Подрядчик" in the warning colour, "Команда" in the
// secondary text colour, each on a light tint of its own colour.
Rectangle {
    id: root
    property bool contractor: false
    readonly property color tone: contractor ? T.warn : T.textSecondary

    implicitWidth: label.implicitWidth + 14
    implicitHeight: label.implicitHeight + 4
    radius: height / 2
    color: Qt.rgba(tone.r, tone.g, tone.b, 0.14)

    Text {
        id: label
        anchors.centerIn: parent
        text: root.contractor ? "Подрядчик" : "Команда"
        textFormat: Text.PlainText
        color: root.tone
        font.pixelSize: 10
        font.weight: Font.DemiBold
    }
}

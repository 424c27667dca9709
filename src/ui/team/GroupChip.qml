import QtQuick
import Corvane

// A group label on a small raised plate with a border.
Rectangle {
    id: root
    property string t

    implicitWidth: Math.min(label.implicitWidth + 12, maxWidth)
    implicitHeight: label.implicitHeight + 4
    property real maxWidth: 74
    radius: 5
    color: T.surfaceRaised
    border.width: 1
    border.color: T.border

    CvText {
        id: label
        anchors.centerIn: parent
        width: Math.min(implicitWidth, root.maxWidth - 12)
        text: root.t
        elide: Text.ElideRight
        color: T.textSecondary
        role: CvText.Caption
        font.weight: Font.DemiBold
    }
}

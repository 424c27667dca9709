import QtQuick
import Corvane

// One figure of a card: a 10 px symbol and its value in caption size (digits of equal width).
Row {
    id: root
    property string icon
    property string text

    spacing: 4

    Icon {
        anchors.verticalCenter: parent.verticalCenter
        name: root.icon
        size: 10
        color: T.textTertiary
    }
    CvText {
        anchors.verticalCenter: parent.verticalCenter
        text: root.text
        color: T.textSecondary
        role: CvText.Caption
    }
}

import QtQuick
import Corvane

// A small label on a rounded `surfaceRaised` plate; `muted` tones the text down.
// `textColor` may be set for a tag that carries a state colour (for example `T.warn`).
Rectangle {
    id: root
    property string text
    property bool muted: false
    property color textColor: muted ? T.textTertiary : T.textSecondary

    implicitWidth: label.implicitWidth + 14
    implicitHeight: label.implicitHeight + 4
    radius: 5
    color: T.surfaceRaised

    CvText {
        id: label
        anchors.centerIn: parent
        text: root.text
        color: root.textColor
        role: CvText.Caption2
    }
}

import QtQuick
import QtQuick.Controls.Basic
import Corvane

// The text field of every form: frameless text on a rounded `surfaceRaised` plate with a
// 1 px `border` outline. `secure` hides the input (passwords, API keys).
TextField {
    id: control
    property bool secure: false

    echoMode: secure ? TextInput.Password : TextInput.Normal
    passwordCharacter: "•"
    leftPadding: 12
    rightPadding: 12
    topPadding: 10
    bottomPadding: 10
    hoverEnabled: true
    font.pixelSize: 13
    color: T.text
    placeholderTextColor: T.textTertiary
    selectionColor: Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.45)
    selectedTextColor: T.text

    background: Rectangle {
        implicitWidth: 200
        radius: 10
        color: T.surfaceRaised
        border.width: 1
        border.color: control.activeFocus ? Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.6)
                    : control.hovered ? Qt.lighter(T.border, 1.35) : T.border
    }
}

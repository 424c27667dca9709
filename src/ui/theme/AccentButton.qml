import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The primary action: white 14 px semibold label on the accent colour. `wide` stretches it over
// the width its layout offers (label centred); `busy` shows a spinner beside the label.
Button {
    id: control
    property bool wide: false
    property bool busy: false

    Layout.fillWidth: wide
    leftPadding: wide ? 0 : 18
    rightPadding: wide ? 0 : 18
    topPadding: 10
    bottomPadding: 10
    hoverEnabled: true
    font.pixelSize: 14
    font.weight: Font.DemiBold

    // Spacers on both sides keep the label centred however wide the button is stretched.
    FocusRing { cornerRadius: 10 }

    contentItem: RowLayout {
        spacing: 0
        Item { Layout.fillWidth: true }
        Spinner {
            Layout.rightMargin: 8
            running: control.busy
            size: 13
            color: "white"
        }
        Text {
            text: control.text
            textFormat: Text.PlainText
            font: control.font
            color: "white"
        }
        Item { Layout.fillWidth: true }
    }

    background: Rectangle {
        implicitHeight: 36
        radius: 10
        color: control.down ? T.accentPressed
             : control.hovered ? Qt.lighter(T.accent, 1.06) : T.accent
    }

    opacity: enabled ? 1 : 0.5
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// A destructive action: white label on the danger colour, or (`quiet`) the danger colour on an
// outlined plate for a destructive action that only asks first.
Button {
    id: control
    property bool quiet: false

    leftPadding: 14
    rightPadding: 14
    topPadding: 8
    bottomPadding: 8
    hoverEnabled: true
    font.pixelSize: 13
    font.weight: Font.Medium
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    FocusRing { cornerRadius: 10 }

    contentItem: Text {
        text: control.text
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        font: control.font
        color: control.quiet ? T.danger : "white"
    }
    background: Rectangle {
        radius: 10
        color: control.quiet ? (control.down ? T.surfaceRaised : T.surface)
                             : (control.down ? Qt.darker(T.danger, 1.1) : T.danger)
        border.width: control.quiet ? 1 : 0
        border.color: T.border
    }
    opacity: enabled ? 1 : 0.5
}

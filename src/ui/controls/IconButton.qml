import QtQuick
import QtQuick.Controls.Basic
import Corvane

// A borderless button showing one symbol, with an optional tool tip.
Button {
    id: control
    property string symbol
    property real symbolSize: 14
    property color symbolColor: T.textSecondary
    property string tip: ""

    flat: true
    hoverEnabled: true
    padding: 4
    ToolTip.text: tip
    ToolTip.visible: tip !== "" && hovered
    ToolTip.delay: 500

    FocusRing { cornerRadius: 6 }

    contentItem: Icon {
        name: control.symbol
        size: control.symbolSize
        color: control.hovered ? T.text : control.symbolColor
    }
    background: Rectangle {
        radius: 6
        color: control.down ? T.surfaceRaised : "transparent"
    }
}

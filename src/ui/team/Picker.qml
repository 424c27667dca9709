pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import Corvane

// A menu picker in the form's field style: the current choice on a raised plate, the list in a
// dark pop-up.
ComboBox {
    id: control

    hoverEnabled: true
    font.pixelSize: 13
    implicitHeight: 38

    contentItem: Text {
        leftPadding: 12
        rightPadding: control.indicator.width + 8
        text: control.displayText
        textFormat: Text.PlainText
        elide: Text.ElideRight
        verticalAlignment: Text.AlignVCenter
        color: T.text
        font: control.font
    }
    indicator: Icon {
        x: control.width - width - 10
        y: (control.height - height) / 2
        name: "chevron.down"
        size: 14
        color: T.textSecondary
    }
    background: Rectangle {
        radius: 10
        color: T.surfaceRaised
        border.width: 1
        border.color: control.visualFocus ? Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.6)
                    : control.hovered ? Qt.lighter(T.border, 1.35) : T.border
    }
    delegate: ItemDelegate {
        id: option
        required property var modelData
        required property int index
        width: control.width
        highlighted: control.highlightedIndex === index
        contentItem: Text {
            text: option.modelData[control.textRole]
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: T.text
            font: control.font
        }
        background: Rectangle {
            color: option.highlighted ? T.surfaceRaised : T.surface
        }
    }
    popup.background: Rectangle {
        radius: 8
        color: T.surface
        border.width: 1
        border.color: T.border
    }
}

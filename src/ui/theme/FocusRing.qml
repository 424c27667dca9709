import QtQuick
import QtQuick.Templates as Tpl
import Corvane

// The one keyboard-focus mark of every control: a 2 px accent ring just outside its control
// (the item it is declared in, or the part of it given as `around`: a switch's track), shown
// for focus reached by keyboard only, never after a click.
Rectangle {
    property Item control: parent
    property Item around: parent
    property real cornerRadius: 8 // the control's own
    property real inset: -3       // inside the control where neighbours sit close (segments)
    // Only a Control knows how it got its focus; on any other item the ring stays hidden.
    readonly property Tpl.Control focusable: control as Tpl.Control

    objectName: "focusRing"
    anchors.fill: around
    anchors.margins: inset
    radius: Math.max(0, cornerRadius - inset)
    color: "transparent"
    border.width: 2
    border.color: T.accent
    visible: focusable !== null && focusable.visualFocus && focusable.enabled
    z: 100
}

import QtQuick
import QtQuick.Controls.Basic
import Corvane

// A pop-up menu on a raised, outlined plate, above any sheet it is opened from.
Menu {
    id: menu
    z: 10
    padding: 4
    background: Rectangle {
        implicitWidth: 190
        radius: 8
        color: T.surfaceRaised
        border.width: 1
        border.color: T.border
    }
    delegate: MenuEntry {}
}

import QtQuick
import QtQuick.Controls.Basic
import Corvane

// A pop-up menu on a raised, outlined plate.
Menu {
    id: menu
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

import QtQuick
import Corvane

// The part of a card behind one row of a flat list: consecutive slices join into one outlined
// card, with the rounded top on the card's first row and the rounded bottom on its last.
Item {
    id: root
    property bool roundTop: false
    property bool roundBottom: false
    readonly property real radius: 12

    clip: true

    Rectangle {
        x: 0
        width: root.width
        y: root.roundTop ? 0 : -2 * root.radius
        height: root.height + (root.roundTop ? 0 : 2 * root.radius) + (root.roundBottom ? 0 : 2 * root.radius)
        radius: root.radius
        color: T.surface
        border.width: 1
        border.color: T.border
    }
}

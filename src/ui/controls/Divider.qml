import QtQuick
import QtQuick.Layouts
import Corvane

// A 1 px line in the border colour: across a column layout, or `vertical`, down a row layout.
// Outside a layout it is as wide (or tall) as it is anchored or sized.
Rectangle {
    property bool vertical: false

    Layout.fillWidth: !vertical
    Layout.fillHeight: vertical
    implicitWidth: vertical ? 1 : 0
    implicitHeight: vertical ? 0 : 1
    color: T.border
}

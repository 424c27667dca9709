import QtQuick
import QtQuick.Layouts
import Corvane

// A 1 px line in the border colour across the layout.
Rectangle {
    Layout.fillWidth: true
    implicitHeight: 1
    color: T.border
}

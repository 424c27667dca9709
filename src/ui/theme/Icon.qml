import QtQuick
import Corvane

// One platform symbol ("arrow.clockwise", "cpu", ...) drawn through the bundled icon font,
// in a square of `size` pixels. The name-to-glyph table lives in Icons.
Item {
    id: root
    property string name
    property real size: 13
    property alias color: glyph.color

    implicitWidth: size
    implicitHeight: size

    Text {
        id: glyph
        anchors.centerIn: parent
        font.family: Icons.family
        font.pixelSize: root.size
        textFormat: Text.PlainText
        text: Icons.glyph(root.name)
        color: T.textSecondary
    }
}

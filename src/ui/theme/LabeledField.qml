import QtQuick
import QtQuick.Layouts
import Corvane

// A form row: a caption-size label above whatever is declared inside it.
ColumnLayout {
    id: root
    property string label

    spacing: 5

    Text {
        Layout.fillWidth: true
        text: root.label
        textFormat: Text.PlainText
        elide: Text.ElideRight
        color: T.textSecondary
        font.pixelSize: T.caption
    }
}

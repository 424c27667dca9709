import QtQuick
import QtQuick.Layouts
import Corvane

// A form row: a caption-size label above whatever is declared inside it.
ColumnLayout {
    id: root
    property string label

    spacing: 5

    CvText {
        Layout.fillWidth: true
        text: root.label
        elide: Text.ElideRight
        color: T.textSecondary
        role: CvText.Caption
    }
}

import QtQuick
import QtQuick.Layouts
import Corvane

// A card: headline title above whatever is declared inside it, padded 14 on an outlined
// `surface` plate, filling the width its layout offers.
Rectangle {
    id: root
    property string title
    default property alias content: col.data

    Layout.fillWidth: true
    implicitWidth: col.implicitWidth + 28
    implicitHeight: col.implicitHeight + 28
    radius: 12
    color: T.surface
    border.width: 1
    border.color: T.border

    ColumnLayout {
        id: col
        anchors.fill: parent
        anchors.margins: 14
        spacing: 10

        CvText {
            Layout.fillWidth: true
            text: root.title
            elide: Text.ElideRight
            role: CvText.Headline
        }
    }
}

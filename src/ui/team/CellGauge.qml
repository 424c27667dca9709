import QtQuick
import QtQuick.Layouts
import Corvane

// A table cell gauge `w` px wide: the whole percentage ("—" for none) over a 4 px bar; text,
// colour roles and fill come from the row's roles.
ColumnLayout {
    id: root
    property string text
    property string tone: "textTertiary"
    property string barTone: "textTertiary"
    property real frac: 0
    property real w: 90

    Layout.preferredWidth: w
    Layout.maximumWidth: w
    spacing: 3

    Text {
        objectName: "value"
        text: root.text
        textFormat: Text.PlainText
        color: T.role(root.tone)
        font.pixelSize: T.caption
    }
    Item {
        Layout.fillWidth: true
        implicitHeight: 4
        Rectangle {
            anchors.fill: parent
            radius: 2
            color: T.surfaceRaised
        }
        Rectangle {
            objectName: "fill"
            width: parent.width * root.frac
            height: parent.height
            visible: width > 0
            radius: 2
            color: T.role(root.barTone)
        }
    }
}

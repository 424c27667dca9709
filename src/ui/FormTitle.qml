import QtQuick
import QtQuick.Layouts
import Corvane

// The heading block of the screens before the platform: mark, title, subtitle, hint.
ColumnLayout {
    id: root
    property string title
    property string subtitle
    property string hint
    spacing: 6
    Layout.fillWidth: true

    Logo {
        Layout.alignment: Qt.AlignHCenter
        Layout.bottomMargin: 10
        size: 56
    }
    Text {
        Layout.alignment: Qt.AlignHCenter
        text: root.title
        textFormat: Text.PlainText
        color: T.text
        font.pixelSize: T.largeTitle
        font.bold: true
    }
    Text {
        Layout.alignment: Qt.AlignHCenter
        Layout.fillWidth: true
        visible: root.subtitle !== ""
        text: root.subtitle
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        color: T.textSecondary
        font.pixelSize: T.title3
    }
    MarkedText {
        objectName: "formHint"
        Layout.alignment: Qt.AlignHCenter
        Layout.fillWidth: true
        visible: root.hint !== ""
        text: root.hint
    }
}

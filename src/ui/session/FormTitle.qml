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
    CvText {
        Layout.alignment: Qt.AlignHCenter
        text: root.title
        role: CvText.LargeTitle
        font.weight: Font.Bold
    }
    CvText {
        Layout.alignment: Qt.AlignHCenter
        Layout.fillWidth: true
        visible: root.subtitle !== ""
        text: root.subtitle
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        color: T.textSecondary
        role: CvText.Title3
    }
    MarkedText {
        objectName: "formHint"
        Layout.alignment: Qt.AlignHCenter
        Layout.fillWidth: true
        visible: root.hint !== ""
        text: root.hint
    }
}

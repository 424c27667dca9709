import QtQuick
import QtQuick.Layouts
import Corvane

// A coming-soon block centred in all the space it is given: big symbol, title, note and a
// small "Скоро" badge.
Item {
    id: root
    property string icon
    property string title
    property string note

    Layout.fillWidth: true
    Layout.fillHeight: true
    implicitWidth: col.implicitWidth
    implicitHeight: col.implicitHeight

    ColumnLayout {
        id: col
        anchors.centerIn: parent
        width: Math.min(implicitWidth, root.width > 0 ? root.width : implicitWidth)
        spacing: 8

        Icon {
            Layout.alignment: Qt.AlignHCenter
            Layout.bottomMargin: 4
            name: root.icon
            size: 34
            color: T.textTertiary
        }
        CvText {
            Layout.alignment: Qt.AlignHCenter
            text: root.title
            role: CvText.Headline
        }
        CvText {
            Layout.alignment: Qt.AlignHCenter
            Layout.maximumWidth: 420
            visible: root.note !== ""
            text: root.note
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            color: T.textSecondary
            role: CvText.Callout
        }
        Rectangle {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 2
            implicitWidth: soon.implicitWidth + 20
            implicitHeight: soon.implicitHeight + 6
            radius: 6
            color: Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.18)
            CvText {
                id: soon
                anchors.centerIn: parent
                text: "Скоро"
                color: T.accent
                role: CvText.Caption
            }
        }
    }
}

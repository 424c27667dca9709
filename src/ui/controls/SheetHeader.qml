import QtQuick
import QtQuick.Layouts
import Corvane

// The top of a sheet: its title, and the close cross (named "Отмена" for assistive tools).
ColumnLayout {
    id: root
    property string title
    signal closeRequested()

    spacing: 0
    RowLayout {
        Layout.fillWidth: true
        Layout.leftMargin: 20
        Layout.rightMargin: 12
        Layout.topMargin: 14
        Layout.bottomMargin: 12
        CvText {
            Layout.fillWidth: true
            text: root.title
            elide: Text.ElideRight
            role: CvText.Title3
            font.weight: Font.DemiBold
        }
        IconButton {
            objectName: "closeButton"
            symbol: "xmark"
            symbolSize: 15
            tip: "Закрыть"
            Accessible.name: "Отмена"
            onClicked: root.closeRequested()
        }
    }
    Divider {}
}

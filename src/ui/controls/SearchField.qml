import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The roster search: a magnifying glass and a plain text field on a rounded plate. `edited`
// carries every change the user makes; Escape clears it.
Rectangle {
    id: root
    property string text
    signal edited(string text)

    implicitWidth: 240
    implicitHeight: 28
    radius: 8
    color: T.surfaceRaised
    border.width: 1
    border.color: field.activeFocus ? Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.6) : T.border

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 9
        anchors.rightMargin: 6
        spacing: 6
        Icon {
            name: "magnifyingglass"
            size: 14
            color: T.textTertiary
        }
        TextField {
            id: field
            objectName: "searchInput"
            Layout.fillWidth: true
            padding: 0
            text: root.text
            placeholderText: "Поиск: имя / логин / специализация"
            placeholderTextColor: T.textTertiary
            color: T.text
            selectionColor: Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.45)
            font.pixelSize: T.caption
            background: null
            Accessible.name: "Поиск"
            onTextEdited: root.edited(text)
            // Escape empties a search that holds something; an empty one lets Escape through.
            Keys.onEscapePressed: (event) => {
                event.accepted = text !== ""
                if (event.accepted)
                    root.edited("")
            }
        }
    }
}

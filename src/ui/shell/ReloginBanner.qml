import QtQuick
import QtQuick.Layouts
import Corvane

// Shown over every section while the saved sign-in cannot load the team's data.
Rectangle {
    id: root
    objectName: "reloginBanner"
    implicitHeight: row.implicitHeight + 24
    color: Qt.rgba(T.warn.r, T.warn.g, T.warn.b, 0.10)

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 24
        anchors.rightMargin: 24
        anchors.topMargin: 12
        anchors.bottomMargin: 12
        spacing: 12

        Icon {
            name: "exclamationmark.triangle.fill"
            size: 18
            color: T.warn
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            CvText {
                text: "Нужен вход заново"
                role: CvText.Callout
                font.weight: Font.Bold
            }
            CvText {
                Layout.fillWidth: true
                text: "Старый вход не сохранил сессию — данные команды не загрузятся, пока не войдёшь снова."
                wrapMode: Text.WordWrap
                color: T.textSecondary
                role: CvText.Caption
            }
        }
        AccentButton {
            objectName: "reloginButton"
            text: "Войти заново"
            onClicked: Store.logOut()
        }
    }
    Divider {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
    }
}

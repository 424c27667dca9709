import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The user's own profile, for now: who is signed in, and the manual update check (its result
// dialog belongs to the main window, so it also opens after the user has left this screen).
ColumnLayout {
    id: root
    objectName: "profileView"
    spacing: 16

    Header {
        title: "Профиль"
    }
    Rectangle {
        Layout.fillWidth: true
        Layout.maximumWidth: 560
        implicitHeight: card.implicitHeight + 32
        radius: 12
        color: T.surface
        border.width: 1
        border.color: T.border

        RowLayout {
            id: card
            anchors.fill: parent
            anchors.margins: 16
            spacing: 14
            Avatar { size: 56 }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 3
                Text {
                    objectName: "profileName"
                    Layout.fillWidth: true
                    text: Store.name
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: T.text
                    font.family: T.font
                    font.pixelSize: T.title3
                    font.bold: true
                }
                Text {
                    Layout.fillWidth: true
                    visible: Store.login !== ""
                    text: Store.login
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: T.textSecondary
                    font.family: T.font
                    font.pixelSize: T.caption
                }
                Text {
                    text: Shell.roleLabel
                    textFormat: Text.PlainText
                    color: T.textTertiary
                    font.family: T.font
                    font.pixelSize: T.caption2
                }
            }
        }
    }
    RowLayout {
        spacing: 10
        GhostButton {
            objectName: "checkUpdatesButton"
            text: "Проверить обновления"
            enabled: !AppUpdater.checking
            onClicked: AppUpdater.checkForUpdates()
        }
        Spinner {
            running: AppUpdater.checking
            size: 13
        }
        Text {
            visible: AppUpdater.currentVersion !== ""
            text: "Версия " + AppUpdater.currentVersion
            textFormat: Text.PlainText
            color: T.textTertiary
            font.family: T.font
            font.pixelSize: T.caption
        }
    }
    Item { Layout.fillHeight: true }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The signed-in user at the foot of the sidebar: avatar, name and role label (expanded only);
// a tap opens the profile, the context menu changes the photo, opens the profile or signs
// out; beside it (expanded only) the sign-out button.
RowLayout {
    id: root
    property bool collapsed: false
    spacing: 4

    Button {
        id: profileButton
        objectName: "profileButton"
        Layout.fillWidth: true
        Layout.leftMargin: root.collapsed ? 0 : 14
        flat: true
        hoverEnabled: true
        padding: 0
        ToolTip.text: "Профиль"
        ToolTip.visible: hovered && !menu.visible
        ToolTip.delay: 500
        onClicked: Store.showProfile = true
        FocusRing { cornerRadius: 8 }

        contentItem: Item {
            implicitWidth: row.implicitWidth
            implicitHeight: row.implicitHeight
            RowLayout {
                id: row
                anchors.fill: parent
                spacing: 10
                Avatar {
                    Layout.alignment: root.collapsed ? Qt.AlignHCenter : Qt.AlignLeft
                    Layout.fillWidth: false
                    Layout.leftMargin: root.collapsed ? (row.width - 34) / 2 : 0
                    size: 34
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    visible: !root.collapsed
                    spacing: 1
                    CvText {
                        objectName: "userName"
                        Layout.fillWidth: true
                        text: Store.name
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        role: CvText.Caption
                    }
                    CvText {
                        objectName: "roleLabel"
                        Layout.fillWidth: true
                        text: Shell.roleLabel
                        elide: Text.ElideRight
                        color: T.textTertiary
                        role: CvText.Caption2
                    }
                }
            }
        }
        background: Item {}

        TapHandler {
            acceptedButtons: Qt.RightButton
            onTapped: (point) => menu.popup(profileButton, point.position.x, point.position.y)
        }
        Menu {
            id: menu
            objectName: "userMenu"
            MenuItem {
                objectName: "menuPhoto"
                text: "Сменить фото…"
                onTriggered: Store.pickAvatar()
            }
            MenuItem {
                objectName: "menuProfile"
                text: "Профиль"
                onTriggered: Store.showProfile = true
            }
            MenuSeparator {}
            MenuItem {
                objectName: "menuLogout"
                text: "Выйти"
                onTriggered: Store.logOut()
            }
        }
    }
    IconButton {
        objectName: "logoutButton"
        Layout.rightMargin: 10
        visible: !root.collapsed
        symbol: "rectangle.portrait.and.arrow.right"
        symbolSize: 16
        tip: "Выйти"
        onClicked: Store.logOut()
    }
}

import QtQuick
import QtQuick.Layouts
import Corvane

// One member of the roster: avatar, name with badges, specialization and department (or the
// login), presence and account count, and the actions menu. A click opens the profile sheet.
Rectangle {
    id: card
    required property var member
    required property string memberId
    required property string title
    required property bool isAdmin
    required property bool contractor
    required property bool active
    required property string spec
    required property string dept
    required property string loginLine
    required property bool online
    required property string presence
    required property string accountsText
    required property string initials
    property RosterView roster
    property bool current: false

    implicitHeight: row.implicitHeight + 24
    radius: 12
    color: hover.hovered ? T.surfaceRaised : T.surface
    border.width: 1
    border.color: current ? Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.6) : T.border
    Accessible.role: Accessible.Button
    Accessible.name: card.title

    // The menu is made when first asked for: a long roster then starts without a menu per card.
    property ThemedMenu menu: null
    function openMenu() {
        if (!card.menu)
            card.menu = menuComponent.createObject(card);
        card.menu.popup(menuButton, 0, menuButton.height);
    }

    HoverHandler {
        id: hover
    }
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton
        onClicked: card.roster.open(card.member)
    }

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.margins: 12
        spacing: 12

        MemberAvatar {
            member: card.member
            memberId: card.memberId
            initials: card.initials
            size: 38
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 4
            // First line: the name, shortened only when the badges would not fit beside it.
            Item {
                id: line1
                Layout.fillWidth: true
                implicitHeight: Math.max(titleText.implicitHeight, badges.implicitHeight)
                Text {
                    id: titleText
                    objectName: "cardTitle"
                    anchors.verticalCenter: parent.verticalCenter
                    width: Math.min(implicitWidth, Math.max(0, line1.width - badges.implicitWidth - 6))
                    text: card.title
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    maximumLineCount: 1
                    color: T.text
                    font.pixelSize: T.body
                    font.weight: Font.DemiBold
                }
                Row {
                    id: badges
                    x: titleText.width + 6
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 6
                    Rectangle {
                        objectName: "adminBadge"
                        anchors.verticalCenter: parent.verticalCenter
                        visible: card.isAdmin
                        implicitWidth: adminText.implicitWidth + 12
                        implicitHeight: adminText.implicitHeight + 4
                        radius: 5
                        color: Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.16)
                        Text {
                            id: adminText
                            anchors.centerIn: parent
                            text: "админ"
                            textFormat: Text.PlainText
                            color: T.accent
                            font.pixelSize: T.caption2
                            font.weight: Font.DemiBold
                        }
                    }
                    TypeChip {
                        anchors.verticalCenter: parent.verticalCenter
                        contractor: card.contractor
                    }
                    Tag {
                        objectName: "disabledTag"
                        anchors.verticalCenter: parent.verticalCenter
                        visible: !card.active
                        text: "отключён"
                        muted: true
                    }
                }
            }
            // Second line: specialization · department, or the login when both are empty.
            Item {
                id: line2
                Layout.fillWidth: true
                implicitHeight: specText.implicitHeight
                readonly property bool both: card.spec !== "" && card.dept !== ""
                readonly property real avail: width - (both ? dot.implicitWidth + 10 : 0)
                readonly property real deptWidth: card.dept === "" ? 0
                    : Math.min(deptText.implicitWidth, Math.max(avail - specText.implicitWidth, avail / 2))
                Row {
                    spacing: 5
                    Text {
                        id: specText
                        objectName: "specText"
                        visible: card.spec !== ""
                        width: Math.min(implicitWidth, Math.max(0, line2.avail - line2.deptWidth))
                        text: card.spec
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        color: T.textSecondary
                        font.pixelSize: T.caption
                    }
                    Text {
                        id: dot
                        visible: line2.both
                        text: "·"
                        textFormat: Text.PlainText
                        color: T.textTertiary
                        font.pixelSize: T.caption
                    }
                    Text {
                        id: deptText
                        objectName: "deptText"
                        visible: card.dept !== ""
                        width: line2.deptWidth
                        text: card.dept
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        color: T.textTertiary
                        font.pixelSize: T.caption
                    }
                    Text {
                        objectName: "loginLine"
                        visible: card.loginLine !== ""
                        width: Math.min(implicitWidth, line2.width)
                        text: card.loginLine
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: T.textSecondary
                        font.pixelSize: T.caption
                    }
                }
            }
        }
        ColumnLayout {
            spacing: 3
            Text {
                objectName: "presence"
                Layout.alignment: Qt.AlignRight
                text: card.presence
                textFormat: Text.PlainText
                color: T.role(AcRules.liveTone(card.online ? "ok" : "textTertiary", Store.serverLost))
                font.pixelSize: T.caption
            }
            Text {
                objectName: "accounts"
                Layout.alignment: Qt.AlignRight
                text: card.accountsText
                textFormat: Text.PlainText
                color: T.textTertiary
                font.pixelSize: T.caption2
            }
        }
        IconButton {
            id: menuButton
            objectName: "cardMenuButton"
            symbol: "ellipsis"
            symbolSize: 16
            // The list itself takes the keyboard: arrows, Enter to open, the menu key here.
            focusPolicy: Qt.NoFocus
            tip: "Действия"
            Accessible.name: "Действия: " + card.title
            onClicked: card.openMenu()
        }
    }

    // qmllint disable unqualified
    // (The linter of Qt 6.4 does not see the file's ids inside a component.)
    Component {
        id: menuComponent
        ThemedMenu {
            objectName: "cardMenu"
            MenuEntry {
                objectName: "menuOpen"
                text: "Открыть профиль"
                onTriggered: card.roster.open(card.member)
            }
            MenuEntry {
                objectName: "menuReset"
                text: "Сбросить пароль"
                onTriggered: card.roster.askReset(card.member)
            }
            MenuEntry {
                objectName: "menuToggle"
                text: card.active ? "Отключить" : "Включить"
                onTriggered: card.roster.toggleActive(card.member)
            }
            MenuRule {}
            MenuEntry {
                objectName: "menuDelete"
                text: "Удалить"
                destructive: true
                onTriggered: card.roster.askDelete(card.member)
            }
        }
    }
    // qmllint enable unqualified
}

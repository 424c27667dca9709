import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The first section. An administrator sees the team at a glance: four tiles, the unread-alerts
// banner and the cards of the six first team accounts. Anyone else sees whether their telemetry
// arrives and their own limits.
ColumnLayout {
    id: root
    objectName: "dashboardView"
    readonly property bool admin: Store.isAdmin
    readonly property var page: pageLoader.item
    property bool alertsOpen: false

    spacing: 14
    Component.onCompleted: AcRules.dashboardShown()
    // The role can turn "admin" while the section is already open (a late profile answer).
    onAdminChanged: AcRules.dashboardShown()

    Header {
        title: "Дашборд"
        refresh: function() { AcRules.dashboardRefresh() }
    }

    Loader {
        id: pageLoader
        Layout.fillWidth: true
        Layout.fillHeight: true
        sourceComponent: root.admin ? adminPage : memberPage
    }

    Component {
        id: adminPage
        ColumnLayout {
            id: adminView
            objectName: "adminPage"
            readonly property alias cards: cardList
            readonly property string listCase: AcRules.dashboardCase(firstSix.count, Store.loadingTeam, Store.serverLost)
            spacing: 14

            // The first six accounts in load order; cards keep their own state by account.
            TeamAccountsModel {
                id: firstSix
                limit: 6
            }

            // The tiles stay the same four items while their figures change with every load, and
            // a positioner, not a Quick Layout, holds them: a layout (Qt 6.4) can keep an item its
            // Repeater has destroyed and crash on the next rearrange (a resize, say).
            // The tiles read AcRules and their row themselves: this page is loaded, and the Qt 6.4
            // linter cannot follow an id of the page into its delegates.
            Item {
                Layout.fillWidth: true
                implicitHeight: tileRow.implicitHeight
                Row {
                    id: tileRow
                    width: parent.width
                    spacing: 12
                    Repeater {
                        model: AcRules.tiles.length
                        delegate: StatTile {
                            required property int index
                            readonly property var tile: AcRules.tiles[index] || ({})
                            readonly property int count: Math.max(1, AcRules.tiles.length)
                            objectName: "tile_" + (tile.title || "")
                            width: parent ? (parent.width - (count - 1) * 12) / count : 0
                            title: tile.title || ""
                            value: tile.value || ""
                            accent: T.role(tile.tone || "text")
                            sub: tile.sub || ""
                        }
                    }
                }
            }

            Rectangle {
                id: banner
                objectName: "alertsBanner"
                readonly property string message: AcRules.alertsBanner(Store.home.alertsUnread)
                Layout.fillWidth: true
                visible: message !== ""
                implicitHeight: bannerRow.implicitHeight + 24
                radius: 10
                color: Qt.rgba(T.warn.r, T.warn.g, T.warn.b, 0.1)
                RowLayout {
                    id: bannerRow
                    anchors.fill: parent
                    anchors.margins: 12
                    spacing: 8
                    Icon {
                        name: "bell.badge.fill"
                        size: 14
                        color: T.warn
                    }
                    CvText {
                        objectName: "alertsText"
                        text: banner.message
                        role: CvText.Callout
                    }
                    Item { Layout.fillWidth: true }
                    Button {
                        id: openAlerts
                        objectName: "openAlerts"
                        flat: true
                        hoverEnabled: true
                        text: "Открыть"
                        Accessible.name: text
                        // The page is a loaded Component, which Qt 6.4 cannot load once bound to this
                        // file (pragma ComponentBehavior), the one way its linter accepts an outer id here.
                        onClicked: root.alertsOpen = true // qmllint disable unqualified
                        contentItem: CvText {
                            text: openAlerts.text
                            color: openAlerts.hovered ? Qt.lighter(T.accent, 1.15) : T.accent
                            role: CvText.Caption
                        }
                        background: Item {}
                        FocusRing { cornerRadius: 4 }
                    }
                }
            }

            CvText {
                text: "Самые нагруженные (7д)"
                role: CvText.Headline
            }

            Spinner {
                objectName: "teamSpinner"
                visible: adminView.listCase === "loading"
                running: visible
            }
            Placeholder {
                objectName: "teamPlaceholder"
                visible: adminView.listCase === "empty"
                icon: "person.3"
                title: "Нет данных"
                note: "Аккаунты команды появятся здесь."
            }
            ListView {
                id: cardList
                objectName: "teamCards"
                Layout.fillWidth: true
                Layout.fillHeight: true
                visible: adminView.listCase === "cards"
                clip: true
                spacing: 10
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar {}
                model: firstSix
                delegate: TeamAccountCard {
                    objectName: "teamCard"
                    width: ListView.view.width
                }
            }
        }
    }

    Component {
        id: memberPage
        ColumnLayout {
            objectName: "memberPage"
            spacing: 14
            RowLayout {
                spacing: 8
                Rectangle {
                    objectName: "telemetryDot"
                    implicitWidth: 8
                    implicitHeight: 8
                    radius: 4
                    color: T.role(AcRules.telemetryTone(Store.home.telemetryOk, Store.serverLost))
                }
                CvText {
                    objectName: "telemetryText"
                    text: AcRules.telemetryText(Store.home.telemetryOk, Store.serverLost)
                    color: T.textSecondary
                    role: CvText.Callout
                }
            }
            CvText {
                text: "Мои лимиты"
                role: CvText.Headline
            }
            OwnAccounts {
                Layout.fillWidth: true
                Layout.fillHeight: true
                icon: "checkmark.seal"
                title: "Всё настроено"
                note: "Открой терминал и запусти Claude Code —\nтут появятся твои лимиты."
            }
        }
    }

    Sheet {
        objectName: "alertsSheetHost"
        width: 560
        height: 600
        z: 1
        shown: root.alertsOpen && root.admin
        onDismissed: root.alertsOpen = false
        body: AlertsSheet {
            onCloseRequested: root.alertsOpen = false // qmllint disable unqualified
        }
    }
}

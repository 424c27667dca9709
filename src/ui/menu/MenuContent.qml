pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The tray panel: own limits at a glance. Shell decides the body case, the accounts listed
// (at most four) and whether the team row shows.
Rectangle {
    id: root
    objectName: "menuContent"
    color: T.content
    implicitWidth: 264
    implicitHeight: col.implicitHeight + 24
    readonly property string bodyCase: Shell.panelCase

    ColumnLayout {
        id: col
        x: 12
        y: 12
        width: root.width - 24
        spacing: 10

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Logo { size: 20 }
            CvText {
                Layout.fillWidth: true
                text: "Corvane Team"
                elide: Text.ElideRight
                role: CvText.Body
                font.weight: Font.DemiBold
            }
            Spinner {
                running: Store.home.loading
                size: 12
            }
            RefreshButton {
                objectName: "panelRefresh"
                symbolSize: 14
                onClicked: Store.reload()
            }
        }
        Divider {}

        StaleLine {
            Layout.fillWidth: true
        }
        CvText {
            objectName: "panelText"
            Layout.fillWidth: true
            visible: root.bodyCase !== "accounts"
            text: Shell.panelText
            wrapMode: Text.WordWrap
            color: T.textSecondary
            role: CvText.Caption
        }
        // A positioner holds the accounts: they are handed over anew with every refresh, and a
        // Quick Layout (Qt 6.4) can keep a delegate its Repeater has destroyed.
        Column {
            id: panelAccounts
            objectName: "panelAccountList"
            Layout.fillWidth: true
            spacing: col.spacing
            Repeater {
                objectName: "panelAccounts"
                model: Shell.panelAccounts
                delegate: ColumnLayout {
                    id: panelAccount
                    required property var modelData
                    objectName: "panelAccount"
                    width: panelAccounts.width
                    spacing: 4
                    CvText {
                        objectName: "accountEmail"
                        Layout.fillWidth: true
                        text: panelAccount.modelData.email
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        role: CvText.Caption
                    }
                    MiniGauge {
                        Layout.fillWidth: true
                        label: "5ч"
                        pct: panelAccount.modelData.fivePct
                    }
                    OwnForecastLine {
                        indent: 24
                        acct: panelAccount.modelData
                        window: OwnForecast.Five
                    }
                    Sparkline {
                        Layout.fillWidth: true
                        Layout.leftMargin: 24
                        implicitHeight: 16
                        provider: panelAccount.modelData.provider
                        email: panelAccount.modelData.email
                    }
                    MiniGauge {
                        Layout.fillWidth: true
                        label: "7д"
                        pct: panelAccount.modelData.sevenPct
                    }
                    OwnForecastLine {
                        indent: 24
                        acct: panelAccount.modelData
                        window: OwnForecast.Seven
                    }
                }
            }
        }

        Divider { visible: Shell.showTeamRow }
        RowLayout {
            objectName: "teamRow"
            Layout.fillWidth: true
            visible: Shell.showTeamRow
            CvText {
                Layout.fillWidth: true
                text: "Команда · онлайн"
                color: T.textSecondary
                role: CvText.Caption2
            }
            CvText {
                objectName: "teamRatio"
                text: Shell.teamRatio
                color: T.role(AcRules.liveTone("ok", Store.serverLost))
                role: CvText.Caption2
                font.weight: Font.Bold
            }
        }

        Divider {}
        RowLayout {
            Layout.fillWidth: true
            GhostButton {
                objectName: "openButton"
                text: "Открыть"
                onClicked: Shell.openMainWindow()
            }
            Item { Layout.fillWidth: true }
            GhostButton {
                objectName: "quitButton"
                text: "Выход"
                onClicked: Shell.quitApp()
            }
        }
    }
}

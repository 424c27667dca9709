import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// An account's detail: its devices, who used its weekly limit and its registry entry side by
// side, then "Редактировать" and the bin. The bin asks first; the question remembers the account
// it was asked about, whatever the row shows by the time it is answered.
ColumnLayout {
    id: root
    property var acct
    readonly property alias showDelete: confirm.visible
    readonly property alias deleteDialog: confirm
    readonly property alias breakdown: breakdownColumn.state

    spacing: 14

    HistoryChartView {
        Layout.fillWidth: true
        provider: root.acct ? root.acct.provider : ""
        email: root.acct ? root.acct.email : ""
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: 24
        DevicesColumn {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            Layout.alignment: Qt.AlignTop
            acct: root.acct
        }
        BreakdownColumn {
            id: breakdownColumn
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            Layout.alignment: Qt.AlignTop
            provider: root.acct ? root.acct.provider : ""
            email: root.acct ? root.acct.email : ""
        }
        RegistryColumn {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            Layout.alignment: Qt.AlignTop
            acct: root.acct
        }
    }

    RowLayout {
        Layout.fillWidth: true
        Layout.bottomMargin: 6
        spacing: 10
        Item { Layout.fillWidth: true }
        GhostButton {
            objectName: "editButton"
            symbol: "pencil"
            text: "Редактировать"
            Accessible.name: text
            onClicked: AcRules.editAccount(root.acct)
        }
        GhostButton {
            objectName: "deleteButton"
            symbol: "trash"
            Accessible.name: "Удалить"
            ToolTip.text: "Удалить"
            ToolTip.visible: hovered
            ToolTip.delay: 500
            onClicked: confirm.ask(root.acct.provider, root.acct.email)
        }
    }

    DeleteDialog {
        id: confirm
    }
}

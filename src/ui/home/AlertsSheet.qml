pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The team's alerts, newest first: when, which account, what happened; unread ones carry a dot.
// The dots stay while the list is open; closing it marks what it showed read on the server.
ColumnLayout {
    id: root
    objectName: "alertsSheet"
    signal closeRequested()
    spacing: 0

    AlertsModel {
        id: alerts
    }
    Component.onCompleted: alerts.shown()

    SheetHeader {
        Layout.fillWidth: true
        title: "Алерты"
        onCloseRequested: root.closeRequested()
    }
    StaleLine {
        Layout.fillWidth: true
        Layout.margins: 12
    }
    Placeholder {
        objectName: "alertsEmpty"
        Layout.fillWidth: true
        Layout.fillHeight: true
        visible: alerts.count === 0 && !Store.serverLost
        icon: "bell"
        title: "Алертов нет"
        note: "Здесь появятся превышения лимитов и сбои."
    }
    ListView {
        id: list
        objectName: "alertsList"
        Layout.fillWidth: true
        Layout.fillHeight: true
        visible: alerts.count > 0
        clip: true
        focus: true
        keyNavigationEnabled: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}
        model: alerts
        Accessible.role: Accessible.List
        Accessible.name: "Алерты"
        delegate: Rectangle {
            id: alertRow
            required property int index
            required property string when
            required property string account
            required property string title
            required property string tone
            required property bool unread
            objectName: "alertRow"
            width: ListView.view.width
            implicitHeight: row.implicitHeight + 20
            color: ListView.isCurrentItem && list.activeFocus ? T.surfaceRaised : "transparent"
            Accessible.role: Accessible.ListItem
            Accessible.name: when + ", " + account + ": " + title
            RowLayout {
                id: row
                anchors.fill: parent
                anchors.leftMargin: 20
                anchors.rightMargin: 20
                spacing: 10
                Rectangle {
                    objectName: "unreadDot"
                    implicitWidth: 6
                    implicitHeight: 6
                    radius: 3
                    color: alertRow.unread ? T.accent : "transparent"
                }
                CvText {
                    Layout.preferredWidth: 96
                    text: alertRow.when
                    color: T.textTertiary
                    role: CvText.Caption
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 2
                    CvText {
                        Layout.fillWidth: true
                        text: alertRow.title
                        wrapMode: Text.Wrap
                        color: T.role(alertRow.tone)
                        role: CvText.Callout
                    }
                    CvText {
                        Layout.fillWidth: true
                        text: alertRow.account
                        elide: Text.ElideMiddle
                        color: T.textSecondary
                        role: CvText.Caption
                    }
                }
            }
            Divider {
                anchors.bottom: parent.bottom
                width: parent.width
            }
        }
    }
}

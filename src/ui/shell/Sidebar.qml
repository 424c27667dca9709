import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The left column: the mark with the collapse button, one row per section the role may see
// (Shell.sidebarItems), and the signed-in user at the bottom. 220 px wide, 62 collapsed; the
// width follows Store.sidebarCollapsed (persisted) with a 0.22 s ease-in-out.
Rectangle {
    id: root
    objectName: "sidebar"
    readonly property bool collapsed: Store.sidebarCollapsed
    property real targetWidth: collapsed ? 62 : 220

    implicitWidth: targetWidth
    Layout.preferredWidth: targetWidth
    color: T.bg
    clip: true

    Behavior on targetWidth { NumberAnimation { duration: 220; easing.type: Easing.InOutQuad } }

    ColumnLayout {
        anchors.fill: parent
        spacing: 2

        // Header, expanded.
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 18
            Layout.rightMargin: 14
            Layout.topMargin: 16
            Layout.bottomMargin: 14
            visible: !root.collapsed
            spacing: 8
            Logo { size: 26 }
            Text {
                Layout.fillWidth: true
                text: "Corvane Team"
                textFormat: Text.PlainText
                elide: Text.ElideRight
                color: T.text
                font.pixelSize: 14
                font.weight: Font.DemiBold
            }
            IconButton {
                objectName: "collapseButton"
                symbol: "sidebar.left"
                symbolSize: 14
                tip: "Свернуть меню"
                onClicked: Store.sidebarCollapsed = true
            }
        }
        // Header, collapsed: the mark is the button.
        Button {
            objectName: "expandButton"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 16
            Layout.bottomMargin: 14
            visible: root.collapsed
            flat: true
            hoverEnabled: true
            padding: 0
            ToolTip.text: "Развернуть меню"
            ToolTip.visible: hovered
            ToolTip.delay: 500
            onClicked: Store.sidebarCollapsed = false
            contentItem: Logo { size: 26 }
            background: Item {}
            FocusRing { cornerRadius: 6 }
        }

        Repeater {
            model: Shell.sidebarItems
            // qmllint disable unqualified
            // (The linter of Qt 6.4 does not see the file's ids inside a delegate.)
            delegate: NavRow {
                required property var modelData
                item: modelData
                collapsed: root.collapsed
            }
            // qmllint enable unqualified
        }

        Item { Layout.fillHeight: true }

        UserBlock {
            Layout.fillWidth: true
            Layout.bottomMargin: 14
            collapsed: root.collapsed
        }
    }
}

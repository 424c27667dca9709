import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// One section of the sidebar. Active (accent background, white title) when it is the selected
// section and the profile is closed. A tap closes the profile and selects the section.
Button {
    id: control
    property var item: ({ key: "", title: "", icon: "" })
    property bool collapsed: false
    readonly property bool active: Store.navName === item.key && !Store.showProfile

    objectName: "nav_" + item.key
    Layout.fillWidth: true
    Layout.leftMargin: collapsed ? 12 : 8
    Layout.rightMargin: collapsed ? 12 : 8
    flat: true
    hoverEnabled: true
    topPadding: 8
    bottomPadding: 8
    leftPadding: collapsed ? 0 : 10
    rightPadding: collapsed ? 0 : 10
    ToolTip.text: item.title
    ToolTip.visible: collapsed && hovered
    ToolTip.delay: 500
    onClicked: Shell.selectSection(item.key)

    FocusRing { cornerRadius: 9 }

    contentItem: RowLayout {
        spacing: 8
        MenuIcon {
            Layout.alignment: control.collapsed ? Qt.AlignHCenter : Qt.AlignLeft
            Layout.fillWidth: control.collapsed
            key: control.item.key
            symbol: control.item.icon
            active: control.active
        }
        Text {
            objectName: "title"
            Layout.fillWidth: true
            visible: !control.collapsed
            text: control.item.title
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: control.active ? "white" : T.text
            font.pixelSize: T.body
        }
    }
    background: Rectangle {
        radius: 9
        color: control.active ? T.accent : "transparent"
    }
}

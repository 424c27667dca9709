import QtQuick
import QtQuick.Layouts
import Corvane

// The header row of the accounts table: one sort title per column at its width, then the empty
// cell above the chevrons.
Item {
    id: root
    property real emailWidth: 150
    signal sortBy(int sort)

    implicitHeight: row.implicitHeight + 20

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        anchors.topMargin: 10
        anchors.bottomMargin: 10
        spacing: 12

        Repeater {
            model: AcRules.columns
            delegate: SortHeader {
                required property var modelData
                key: modelData.key
                sort: modelData.sort
                title: modelData.title
                w: modelData.width > 0 ? modelData.width : root.emailWidth
                rightAligned: modelData.right
                onSortBy: function(sort) { root.sortBy(sort) }
            }
        }
        Item { Layout.preferredWidth: 20 }
    }
}

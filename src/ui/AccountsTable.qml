import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The accounts table: a rounded, clipped card with the header and a lazily built list of rows
// (in "people" mode group headers and their rows). It needs 1508 px for all columns; where the
// section is narrower, header and rows scroll sideways together.
// Keys: Up/Down move the current row, Space or Enter opens or closes it.
Rectangle {
    id: root
    property var rowsModel
    readonly property real tableWidth: AcRules.tableWidth(width)
    readonly property real emailWidth: AcRules.emailWidth(tableWidth)
    readonly property alias list: list
    readonly property alias hscroll: hflick
    signal sortBy(string key)

    radius: 12
    color: T.surface
    border.width: 1
    border.color: T.border
    clip: true

    Flickable {
        id: hflick
        objectName: "tableScroll"
        anchors.fill: parent
        anchors.margins: 1
        contentWidth: root.tableWidth
        contentHeight: height
        flickableDirection: Flickable.HorizontalFlick
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.horizontal: ScrollBar {
            objectName: "hScrollBar"
            policy: hflick.contentWidth > hflick.width ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        }

        Column {
            width: root.tableWidth
            height: hflick.height

            TableHeader {
                id: header
                width: root.tableWidth
                emailWidth: root.emailWidth
                onSortBy: function(key) { root.sortBy(key) }
            }
            Rectangle {
                width: root.tableWidth
                height: 1
                color: T.border
            }
            ListView {
                id: list
                objectName: "accountsList"
                width: root.tableWidth
                height: hflick.height - header.height - 1
                clip: true
                model: root.rowsModel
                boundsBehavior: Flickable.StopAtBounds
                reuseItems: false
                cacheBuffer: 0
                activeFocusOnTab: true
                keyNavigationEnabled: true
                highlightFollowsCurrentItem: false
                currentIndex: -1
                Accessible.role: Accessible.List
                Accessible.name: "AI ресурсы"
                ScrollBar.vertical: ScrollBar {}

                onActiveFocusChanged: if (activeFocus && currentIndex < 0 && count > 0) currentIndex = 0
                Keys.onSpacePressed: toggleCurrent()
                Keys.onReturnPressed: toggleCurrent()
                Keys.onEnterPressed: toggleCurrent()
                function toggleCurrent() {
                    if (currentItem && currentItem.accountRow)
                        currentItem.accountRow.toggle();
                }

                delegate: Item {
                    id: d
                    objectName: model.isHeader ? "personRow" : "accountRow"
                    readonly property bool isHeader: model.isHeader === true
                    readonly property var accountRow: isHeader ? null : loader.item
                    readonly property string accountId: model.accountId
                    width: root.tableWidth
                    height: loader.item ? loader.item.implicitHeight : 0

                    Loader {
                        id: loader
                        width: parent.width
                        sourceComponent: d.isHeader ? headerRow : accountRow
                        Component {
                            id: headerRow
                            PersonHeaderRow {
                                name: model.groupName
                                countText: model.groupCount
                                summary: model.groupSummary
                                online: model.groupOnline
                            }
                        }
                        Component {
                            id: accountRow
                            AccountRow {
                                acct: model.acct
                                expanded: model.expanded
                                emailWidth: root.emailWidth
                                viewX: hflick.contentX
                                viewWidth: hflick.width
                                current: d.ListView.isCurrentItem && list.activeFocus
                            }
                        }
                    }
                }
            }
        }
    }
}

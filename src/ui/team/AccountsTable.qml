import QtQuick
import QtQuick.Controls.Basic
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
    signal sortBy(int sort)

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
                onSortBy: function(sort) { root.sortBy(sort) }
            }
            Divider {
                width: root.tableWidth
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

                onActiveFocusChanged: if (list.activeFocus && list.currentIndex < 0 && list.count > 0) list.currentIndex = 0
                Keys.onSpacePressed: list.toggleCurrent()
                Keys.onReturnPressed: list.toggleCurrent()
                Keys.onEnterPressed: list.toggleCurrent()
                function toggleCurrent() {
                    const row = list.currentItem as AccountRow
                    if (row)
                        row.toggle()
                }

                // qmllint disable unqualified
                // (The linter of Qt 6.4 does not see the file's ids inside a delegate.)
                delegate: AccountRow {
                    width: root.tableWidth
                    emailWidth: root.emailWidth
                    viewX: hflick.contentX
                    viewWidth: hflick.width
                    current: ListView.isCurrentItem && list.activeFocus
                }
                // qmllint enable unqualified
            }
        }
    }
}

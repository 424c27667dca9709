import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The AI resources panel of an administrator: header with the online counter, the mode switch,
// "Аккаунт" and "Обновить лимиты"; the filter bar; then the table or its empty states. The rows
// come from list models over Store's team accounts; filters, mode and sort live in Store.
ColumnLayout {
    id: root
    objectName: "accountsPanel"
    readonly property alias accountsModel: filter
    readonly property alias peopleModel: people
    readonly property string contentCase: AcRules.panelCase(filter.total, Store.loadingTeam, filter.count)
    readonly property var table: tableLoader.item

    spacing: 14
    Component.onCompleted: AcRules.panelShown()

    TeamAccountsModel { id: source }
    AccountsFilter { id: filter; source: source }
    PersonRowsModel { id: people; accounts: filter }

    // The actions move under the title when both do not fit on one line (the window's minimum
    // width), rather than run off the window's edge.
    GridLayout {
        objectName: "panelHeader"
        Layout.fillWidth: true
        columns: width >= titleRow.implicitWidth + actionsRow.implicitWidth + columnSpacing ? 2 : 1
        columnSpacing: 10
        rowSpacing: 10
        RowLayout {
            id: titleRow
            Layout.fillWidth: true
            spacing: 10
            Text {
                text: "AI ресурсы"
                textFormat: Text.PlainText
                color: T.text
                font.pixelSize: T.title
                font.bold: true
            }
            RowLayout {
                objectName: "onlineCounter"
                visible: Store.teamWithTelemetry > 0
                spacing: 4
                Text {
                    text: "онлайн"
                    color: T.textSecondary
                    font.pixelSize: T.caption
                }
                Text {
                    objectName: "onlineCount"
                    text: String(Store.teamOnline)
                    color: T.role(AcRules.liveTone("ok", Store.serverLost))
                    font.pixelSize: T.caption
                    font.bold: true
                }
                Text {
                    text: "/ " + Store.teamWithTelemetry
                    color: T.textSecondary
                    font.pixelSize: T.caption
                }
            }
            Item { Layout.fillWidth: true }
        }
        RowLayout {
            id: actionsRow
            Layout.alignment: Qt.AlignRight
            spacing: 10
            Seg {
                objectName: "modeSeg"
                items: AcRules.modes
                sel: Store.resources.mode
                onPicked: function(key) { Store.resources.mode = key }
            }
            GhostButton {
                objectName: "exportButton"
                text: "Экспорт CSV"
                Accessible.name: text
                enabled: filter.count > 0
                onClicked: CsvExport.exportAccounts()
            }
            GhostButton {
                objectName: "addAccountButton"
                symbol: "plus"
                text: "Аккаунт"
                Accessible.name: text
                onClicked: AcRules.newAccount()
            }
            AccentButton {
                objectName: "refreshLimitsButton"
                text: "Обновить лимиты"
                Accessible.name: text
                busy: Store.refreshingLimits
                enabled: !Store.refreshingLimits
                onClicked: Store.refreshLimits()
            }
        }
    }

    RowLayout {
        objectName: "filterBar"
        Layout.fillWidth: true
        visible: filter.total > 0
        spacing: 6

        ListView {
            id: chips
            objectName: "providerChips"
            Layout.fillWidth: true
            implicitHeight: 26
            orientation: ListView.Horizontal
            spacing: 6
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            model: filter.chips
            delegate: FilterChip {
                required property var modelData
                objectName: "chip_" + (modelData.key === "" ? "all" : modelData.key)
                title: modelData.label
                count: modelData.count
                logo: modelData.key
                active: Store.resources.prov === modelData.key
                activeFocusOnTab: true
                Accessible.name: modelData.label
                onTap: Store.resources.prov = modelData.key
            }
        }
        Seg {
            objectName: "statusSeg"
            items: AcRules.statusFilters
            sel: Store.resources.status
            onPicked: function(key) { Store.resources.status = key }
        }
        Rectangle {
            Layout.preferredWidth: 260
            Layout.maximumWidth: 260
            implicitHeight: search.implicitHeight + 12
            radius: 8
            color: T.surfaceRaised
            border.width: 1
            border.color: search.activeFocus ? Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.6) : T.border
            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 10
                anchors.rightMargin: 10
                spacing: 6
                Icon {
                    name: "magnifyingglass"
                    size: 11
                    color: T.textTertiary
                }
                TextField {
                    id: search
                    objectName: "searchField"
                    Layout.fillWidth: true
                    padding: 0
                    topPadding: 0
                    bottomPadding: 0
                    placeholderText: "Поиск: email / owner / группа"
                    placeholderTextColor: T.textTertiary
                    Accessible.name: placeholderText
                    text: Store.resources.query
                    onTextEdited: Store.resources.query = text
                    Keys.onEscapePressed: (event) => {
                        event.accepted = text !== ""
                        if (event.accepted)
                            Store.resources.query = ""
                    }
                    color: T.text
                    font.pixelSize: T.caption
                    background: Item {}
                }
            }
        }
    }

    Item {
        Layout.fillWidth: true
        Layout.fillHeight: true

        RowLayout {
            objectName: "loadingState"
            anchors.centerIn: parent
            visible: root.contentCase === "loading"
            spacing: 8
            Spinner { running: parent.visible }
            Text {
                text: "Загружаю…"
                color: T.textSecondary
                font.pixelSize: T.callout
            }
        }
        Placeholder {
            objectName: "emptyState"
            anchors.fill: parent
            visible: root.contentCase === "empty"
            icon: "cpu"
            title: "Нет ресурсов"
            note: "Аккаунты команды появятся здесь.\nДобавь через «+ Аккаунт»."
        }
        Placeholder {
            objectName: "noMatchState"
            anchors.fill: parent
            visible: root.contentCase === "nomatch"
            icon: "magnifyingglass"
            title: "Ничего не найдено"
            note: "Измени фильтр или поиск."
        }
        Loader {
            id: tableLoader
            anchors.fill: parent
            active: root.contentCase === "table"
            // qmllint disable unqualified
            // (The linter of Qt 6.4 does not see the file's ids inside a component.)
            sourceComponent: AccountsTable {
                objectName: "accountsTable"
                rowsModel: Store.resources.byPerson ? people : filter
                onSortBy: function(sort) { filter.onSort(sort) }
            }
            // qmllint enable unqualified
        }
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// Team statistics: the scope switch, then the cards of members, accounts, sources, seven-day
// results and mirror spend as one lazily built list (StatsModel flattens the cards into rows).
ColumnLayout {
    id: root
    objectName: "statsView"
    spacing: 12

    readonly property alias model: stats
    readonly property alias list: list

    StatsModel {
        id: stats
    }
    Component.onCompleted: stats.shown()

    RowLayout {
        Layout.fillWidth: true
        spacing: 10
        Text {
            Layout.fillWidth: true
            text: "Статистика"
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: T.text
            font.pixelSize: T.title2
            font.bold: true
        }
        Seg {
            objectName: "scopeSeg"
            items: stats.scopes
            sel: stats.scope
            onPicked: (key) => stats.chooseScope(key)
        }
        GhostButton {
            objectName: "exportButton"
            text: "Экспорт CSV"
            Accessible.name: text
            enabled: stats.count > 0
            onClicked: CsvExport.exportStats()
        }
        RefreshButton {
            objectName: "refreshButton"
            onClicked: stats.refresh()
        }
    }

    CostChartView {
        Layout.fillWidth: true
    }

    Item {
        Layout.fillWidth: true
        Layout.fillHeight: true

        Spinner {
            objectName: "statsSpinner"
            anchors.centerIn: parent
            size: 22
            running: stats.showSpinner
        }
        Placeholder {
            objectName: "statsPlaceholder"
            anchors.fill: parent
            visible: stats.showPlaceholder
            icon: "chart.bar"
            title: "Пока нет статистики"
            note: "Данные появятся после активности команды."
        }
        ListView {
            id: list
            objectName: "statsList"
            anchors.fill: parent
            visible: !stats.showSpinner && stats.count > 0
            model: stats
            clip: true
            reuseItems: true
            boundsBehavior: Flickable.StopAtBounds
            activeFocusOnTab: true
            keyNavigationEnabled: true
            Accessible.name: "Статистика"
            ScrollBar.vertical: ScrollBar {}
            delegate: StatRowItem {
                width: ListView.view.width
            }
        }
    }
}

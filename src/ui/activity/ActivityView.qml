import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// Team activity over 7, 14 or 30 days: one card per person, most active first, with time,
// cost, sessions, the time outside work projects and the main projects.
ColumnLayout {
    id: root
    objectName: "activityView"
    spacing: 12

    readonly property alias model: activity
    readonly property alias list: list

    ActivityModel {
        id: activity
    }
    Component.onCompleted: activity.shown()

    RowLayout {
        Layout.fillWidth: true
        spacing: 10
        CvText {
            Layout.fillWidth: true
            text: "Активность"
            elide: Text.ElideRight
            role: CvText.Title2
            font.weight: Font.Bold
        }
        Seg {
            objectName: "rangeSeg"
            items: activity.ranges
            sel: activity.rangeDays
            // Every choice reloads, the range already shown included.
            onPicked: (key) => activity.chooseRange(key)
        }
        GhostButton {
            objectName: "exportButton"
            text: "Экспорт CSV"
            Accessible.name: text
            enabled: Store.activity.people.length > 0
            onClicked: CsvExport.exportActivity()
        }
        RefreshButton {
            objectName: "refreshButton"
            onClicked: activity.refresh()
        }
    }

    Item {
        Layout.fillWidth: true
        Layout.fillHeight: true

        Spinner {
            objectName: "activitySpinner"
            anchors.centerIn: parent
            size: 22
            running: activity.showSpinner
        }
        Placeholder {
            objectName: "activityPlaceholder"
            anchors.fill: parent
            visible: activity.showPlaceholder
            icon: "waveform.path.ecg"
            title: "Нет активности"
            note: "За выбранный период данных нет."
        }
        ListView {
            id: list
            objectName: "activityList"
            anchors.fill: parent
            visible: activity.count > 0
            model: activity
            spacing: 10
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            activeFocusOnTab: true
            keyNavigationEnabled: true
            Accessible.name: "Активность"
            ScrollBar.vertical: ScrollBar {}
            delegate: PersonCard {
                width: ListView.view.width
                current: ListView.isCurrentItem && ListView.view.activeFocus
            }
        }
    }
}

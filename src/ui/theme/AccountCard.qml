import QtQuick
import QtQuick.Layouts
import Corvane

// A card of one of the user's own accounts (`a`: an Acct) with its five-hour and seven-day
// gauges. The gauges show whether or not the account has data; a warning tag says when not.
Rectangle {
    id: root
    property var a: ({})

    Layout.fillWidth: true
    implicitWidth: col.implicitWidth + 28
    implicitHeight: col.implicitHeight + 28
    radius: 12
    color: T.surface
    border.width: 1
    border.color: T.border

    ColumnLayout {
        id: col
        anchors.fill: parent
        anchors.margins: 14
        spacing: 10

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            CvText {
                Layout.fillWidth: true
                text: root.a && root.a.email ? String(root.a.email) : ""
                elide: Text.ElideRight
                role: CvText.Body
                font.weight: Font.Bold
            }
            CvText {
                objectName: "project"
                visible: text !== ""
                Layout.maximumWidth: 180
                text: root.a && root.a.project ? String(root.a.project) : ""
                elide: Text.ElideRight
                color: T.textSecondary
                role: CvText.Caption
            }
            Tag {
                objectName: "noData"
                visible: !(root.a && root.a.ok)
                text: "нет данных"
                textColor: T.warn
            }
        }
        GaugeRow {
            objectName: "five"
            title: "5 часов"
            pct: root.a && root.a.fivePct ? root.a.fivePct : 0
            reset: root.a && root.a.fiveReset ? root.a.fiveReset : 0
        }
        OwnForecastLine {
            objectName: "fiveForecast"
            Layout.topMargin: -6 // under the gauge it belongs to, like its reset line
            acct: root.a
            window: OwnForecast.Five
        }
        Sparkline {
            Layout.fillWidth: true
            provider: root.a && root.a.provider ? String(root.a.provider) : ""
            email: root.a && root.a.email ? String(root.a.email) : ""
        }
        GaugeRow {
            objectName: "seven"
            title: "7 дней"
            pct: root.a && root.a.sevenPct ? root.a.sevenPct : 0
            reset: root.a && root.a.sevenReset ? root.a.sevenReset : 0
        }
        OwnForecastLine {
            objectName: "sevenForecast"
            Layout.topMargin: -6
            acct: root.a
            window: OwnForecast.Seven
        }
    }
}

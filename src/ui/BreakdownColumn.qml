import QtQuick
import QtQuick.Layouts
import Corvane

// Who used an account's weekly (or monthly) limit: the scope switch, then "считаю…" while
// loading, "нет данных", a failed load, or the summary (under a warning line when the newest load
// failed and the figures are older), a stacked bar, its legend and the residual footnote.
// The state (and the loading) belongs to the BreakdownView object; this only draws it.
ColumnLayout {
    id: root
    property alias provider: bd.provider
    property alias email: bd.email
    readonly property alias state: bd

    spacing: 8

    BreakdownView {
        id: bd
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: 8
        SectionLabel {
            t: bd.title
        }
        Item { Layout.fillWidth: true }
        Seg {
            objectName: "scopeSeg"
            items: bd.scopes
            sel: bd.scope
            onPicked: function(key) { bd.selectScope(key) }
        }
    }

    RowLayout {
        visible: bd.stateText !== ""
        spacing: 6
        Spinner {
            running: !bd.loaded
            size: 12
        }
        Text {
            objectName: "breakdownState"
            text: bd.stateText
            textFormat: Text.PlainText
            color: bd.failed ? T.warn : T.textTertiary
            font.pixelSize: T.caption
        }
    }

    ColumnLayout {
        Layout.fillWidth: true
        visible: bd.stateText === ""
        spacing: 6

        Text {
            objectName: "breakdownStale"
            Layout.fillWidth: true
            visible: text !== ""
            text: bd.staleText
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            color: T.warn
            font.pixelSize: T.caption
        }
        Text {
            objectName: "breakdownSummary"
            Layout.fillWidth: true
            text: bd.summary
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            color: T.textTertiary
            font.pixelSize: 10
        }
        Item {
            id: barBox
            objectName: "stackedBar"
            Layout.fillWidth: true
            implicitHeight: 8
            clip: true
            Row {
                Repeater {
                    model: bd.segs
                    delegate: Rectangle {
                        required property var modelData
                        width: bd.segmentWidth(modelData.pct, barBox.width)
                        height: barBox.height
                        radius: 2
                        color: modelData.color !== "" ? modelData.color : T.textTertiary
                    }
                }
            }
        }
        // A positioner holds the legend (see DevicesColumn).
        Column {
            id: legend
            Layout.fillWidth: true
            spacing: 8
            Repeater {
                model: bd.segs
                delegate: RowLayout {
                    required property var modelData
                    objectName: "legendLine"
                    width: legend.width
                    spacing: 6
                    Rectangle {
                        implicitWidth: 9
                        implicitHeight: 9
                        radius: 2
                        color: modelData.color !== "" ? modelData.color : T.textTertiary
                    }
                    Text {
                        Layout.fillWidth: true
                        text: modelData.name
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: T.text
                        font.pixelSize: T.caption
                    }
                    Text {
                        text: modelData.pctText
                        textFormat: Text.PlainText
                        color: T.textSecondary
                        font.pixelSize: T.caption
                    }
                }
            }
        }
        Text {
            objectName: "residualNote"
            Layout.fillWidth: true
            visible: bd.showResidualNote
            text: bd.residualNote
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            color: T.textTertiary
            font.pixelSize: T.caption
        }
    }
}

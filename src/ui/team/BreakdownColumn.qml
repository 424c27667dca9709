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

    // The title with the scope switch at the right, or the switch under the title where the column
    // is too narrow for both (the window at its minimum width). A plain item, not a layout: it asks
    // its column for no minimum width, so the detail's other columns are never pushed under it.
    Item {
        id: head
        readonly property bool stacked: width < title.implicitWidth + scopeSeg.implicitWidth + 8
        Layout.fillWidth: true
        implicitHeight: stacked ? title.implicitHeight + 6 + scopeSeg.implicitHeight
                                : Math.max(title.implicitHeight, scopeSeg.implicitHeight)
        SectionLabel {
            id: title
            t: bd.title
            y: head.stacked ? 0 : (head.height - height) / 2
        }
        Seg {
            id: scopeSeg
            objectName: "scopeSeg"
            x: head.stacked ? 0 : head.width - width
            y: head.stacked ? title.implicitHeight + 6 : (head.height - height) / 2
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
                    // qmllint disable unqualified
                    // (The linter of Qt 6.4 does not see the file's ids inside a delegate.)
                    delegate: Rectangle {
                        id: part
                        required property var modelData
                        width: bd.segmentWidth(part.modelData.pct, barBox.width)
                        height: barBox.height
                        radius: 2
                        color: part.modelData.color !== "" ? part.modelData.color : T.textTertiary
                    }
                    // qmllint enable unqualified
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
                // qmllint disable unqualified
                // (The linter of Qt 6.4 does not see the file's ids inside a delegate.)
                delegate: RowLayout {
                    id: part2
                    required property var modelData
                    objectName: "legendLine"
                    width: legend.width
                    spacing: 6
                    Rectangle {
                        implicitWidth: 9
                        implicitHeight: 9
                        radius: 2
                        color: part2.modelData.color !== "" ? part2.modelData.color : T.textTertiary
                    }
                    Text {
                        Layout.fillWidth: true
                        text: part2.modelData.name
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: T.text
                        font.pixelSize: T.caption
                    }
                    Text {
                        text: part2.modelData.pctText
                        textFormat: Text.PlainText
                        color: T.textSecondary
                        font.pixelSize: T.caption
                    }
                }
                // qmllint enable unqualified
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

pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import QtQuick.Shapes
import Corvane

// An account's two limit windows over the last seven days (HistoryChart decides every mark):
// the lines, a tick where each window began anew, the 80 and 95 % guides, and each window's
// projection dashed to its run-out or its reset. The pointer or the arrow keys pick a reading.
ColumnLayout {
    id: root
    property string provider
    property string email
    readonly property alias model: chart
    // The x of the picked reading in the plot; -1 for none.
    property real cursorX: -1
    readonly property var picked: cursorX >= 0 ? chart.probe(cursorX) : ({hit: false})

    objectName: "historyChart"
    spacing: 6

    HistoryChart {
        id: chart
        provider: root.provider
        email: root.email
        mode: "week"
        plotWidth: plot.width
        plotHeight: plot.height
        onDrawn: if (root.cursorX > plot.width) root.cursorX = -1
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: 12
        Text {
            Layout.fillWidth: true
            text: root.picked.hit ? root.picked.text : "История лимитов · 7 дней"
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: root.picked.hit ? T.text : T.textSecondary
            font.pixelSize: T.caption
        }
        Repeater {
            model: [{label: "5 часов", color: T.accent}, {label: "7 дней", color: T.textSecondary}]
            delegate: Row {
                id: legendEntry
                required property var modelData
                spacing: 4
                Rectangle {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 10
                    height: 2
                    color: legendEntry.modelData.color
                }
                Text {
                    text: legendEntry.modelData.label
                    color: T.textTertiary
                    font.pixelSize: T.caption2
                }
            }
        }
    }

    Item {
        id: frame
        objectName: "historyPlot"
        Layout.fillWidth: true
        Layout.preferredHeight: 140
        activeFocusOnTab: true
        Accessible.role: Accessible.Chart
        Accessible.name: "История лимитов"
        Accessible.description: root.picked.hit ? root.picked.text : chart.description
        Keys.onLeftPressed: root.cursorX = chart.step(root.cursorX, -1)
        Keys.onRightPressed: root.cursorX = chart.step(root.cursorX, 1)
        Keys.onEscapePressed: root.cursorX = -1
        onActiveFocusChanged: if (!activeFocus) root.cursorX = -1

        Rectangle {
            anchors.fill: parent
            radius: 8
            color: T.surface
            border.width: frame.activeFocus ? 2 : 1
            border.color: frame.activeFocus ? T.accent : T.border
        }

        Item {
            id: plot
            anchors.fill: parent
            anchors.leftMargin: 10
            anchors.rightMargin: 34
            anchors.topMargin: 10
            anchors.bottomMargin: 20
            visible: !chart.empty

            Repeater {
                model: chart.guides
                delegate: Text {
                    required property var modelData
                    x: plot.width + 4
                    y: modelData.y - height / 2
                    text: modelData.label
                    color: T.textTertiary
                    font.pixelSize: T.caption2
                }
            }
            Repeater {
                model: chart.resets
                delegate: Rectangle {
                    required property var modelData
                    objectName: "resetMark"
                    x: modelData.x
                    width: 1
                    height: plot.height
                    color: modelData.seven ? T.textTertiary : T.border
                }
            }
            Repeater {
                model: chart.ticks
                delegate: Text {
                    required property var modelData
                    x: modelData.x - width / 2
                    y: plot.height + 4
                    text: modelData.label
                    color: T.textTertiary
                    font.pixelSize: T.caption2
                }
            }
            Shape {
                anchors.fill: parent
                // The 80 and 95 % guides.
                ShapePath {
                    strokeColor: chart.guides.length > 1 ? T.warn : "transparent"
                    strokeWidth: 1
                    strokeStyle: ShapePath.DashLine
                    dashPattern: [2, 4]
                    fillColor: "transparent"
                    startX: 0; startY: chart.guides.length > 1 ? chart.guides[0].y : 0
                    PathLine { x: plot.width; y: chart.guides.length > 1 ? chart.guides[0].y : 0 }
                }
                ShapePath {
                    strokeColor: chart.guides.length > 1 ? T.danger : "transparent"
                    strokeWidth: 1
                    strokeStyle: ShapePath.DashLine
                    dashPattern: [2, 4]
                    fillColor: "transparent"
                    startX: 0; startY: chart.guides.length > 1 ? chart.guides[1].y : 0
                    PathLine { x: plot.width; y: chart.guides.length > 1 ? chart.guides[1].y : 0 }
                }
                ShapePath {
                    strokeColor: T.textSecondary
                    strokeWidth: 1.5
                    fillColor: "transparent"
                    joinStyle: ShapePath.RoundJoin
                    PathPolyline { path: chart.sevenLine }
                }
                ShapePath {
                    strokeColor: T.accent
                    strokeWidth: 1.5
                    fillColor: "transparent"
                    joinStyle: ShapePath.RoundJoin
                    PathPolyline { path: chart.fiveLine }
                }
                ShapePath {
                    strokeColor: chart.sevenProjection.shown ? T.textSecondary : "transparent"
                    strokeWidth: 1.5
                    strokeStyle: ShapePath.DashLine
                    dashPattern: [3, 3]
                    fillColor: "transparent"
                    startX: chart.sevenProjection.x1; startY: chart.sevenProjection.y1
                    PathLine { x: chart.sevenProjection.x2; y: chart.sevenProjection.y2 }
                }
                ShapePath {
                    strokeColor: chart.fiveProjection.shown ? T.accent : "transparent"
                    strokeWidth: 1.5
                    strokeStyle: ShapePath.DashLine
                    dashPattern: [3, 3]
                    fillColor: "transparent"
                    startX: chart.fiveProjection.x1; startY: chart.fiveProjection.y1
                    PathLine { x: chart.fiveProjection.x2; y: chart.fiveProjection.y2 }
                }
            }
            Rectangle {
                objectName: "cursor"
                visible: root.picked.hit
                x: root.picked.hit ? root.picked.x : 0
                width: 1
                height: plot.height
                color: T.text
                opacity: 0.5
            }
            Repeater {
                model: [{y: root.picked.y5, color: T.accent}, {y: root.picked.y7, color: T.textSecondary}]
                delegate: Rectangle {
                    required property var modelData
                    visible: root.picked.hit && isFinite(modelData.y)
                    x: (root.picked.x || 0) - 3
                    y: (isFinite(modelData.y) ? modelData.y : 0) - 3
                    width: 6
                    height: 6
                    radius: 3
                    color: modelData.color
                }
            }
            MouseArea {
                anchors.fill: parent
                hoverEnabled: true
                onPositionChanged: (mouse) => root.cursorX = mouse.x
                onExited: if (!frame.activeFocus) root.cursorX = -1
                onClicked: frame.forceActiveFocus()
            }
        }

        Text {
            objectName: "historyPlaceholder"
            anchors.centerIn: parent
            visible: chart.empty
            text: chart.placeholder
            textFormat: Text.PlainText
            color: T.textTertiary
            font.pixelSize: T.caption
        }
    }

    Text {
        objectName: "historyStale"
        visible: text !== ""
        text: chart.staleText
        textFormat: Text.PlainText
        color: T.warn
        font.pixelSize: T.caption2
    }
}

pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import QtQuick.Shapes
import Corvane

// The team's cost per day over 30 days, stacked by provider (CostChart decides every bar), with
// the week's total. The pointer or the arrow keys pick a day.
Rectangle {
    id: root
    readonly property alias model: chart
    property int picked: -1
    readonly property string pickedText: picked >= 0 && picked < chart.bars.length ? chart.bars[picked].text : ""

    objectName: "costChart"
    implicitHeight: col.implicitHeight + 24
    radius: 12
    color: T.surface
    border.width: 1
    border.color: T.border

    CostChart {
        id: chart
        plotWidth: plot.width
        plotHeight: plot.height
    }

    ColumnLayout {
        id: col
        anchors.fill: parent
        anchors.margins: 12
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 12
            Text {
                Layout.fillWidth: true
                text: root.pickedText !== "" ? root.pickedText : "Расходы по дням · 30 дней"
                textFormat: Text.PlainText
                elide: Text.ElideRight
                color: root.pickedText !== "" ? T.text : T.textSecondary
                font.pixelSize: T.caption
            }
            Repeater {
                model: chart.legend
                delegate: Row {
                    id: legendEntry
                    required property var modelData
                    spacing: 4
                    Rectangle {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 8
                        height: 8
                        radius: 2
                        color: legendEntry.modelData.color
                    }
                    Text {
                        text: legendEntry.modelData.label
                        textFormat: Text.PlainText
                        color: T.textTertiary
                        font.pixelSize: T.caption2
                    }
                }
            }
            Text {
                objectName: "weekTotal"
                visible: chart.placeholder === ""
                text: chart.weekText
                textFormat: Text.PlainText
                color: T.text
                font.pixelSize: T.caption
                font.bold: true
            }
        }

        Item {
            id: frame
            objectName: "costPlot"
            Layout.fillWidth: true
            Layout.preferredHeight: 110
            activeFocusOnTab: true
            Accessible.role: Accessible.Chart
            Accessible.name: "Расходы по дням"
            Accessible.description: root.pickedText !== "" ? root.pickedText : chart.description
            Keys.onLeftPressed: root.picked = root.picked < 0 ? chart.bars.length - 1 : Math.max(0, root.picked - 1)
            Keys.onRightPressed: root.picked = root.picked < 0 ? chart.bars.length - 1 : Math.min(chart.bars.length - 1, root.picked + 1)
            Keys.onEscapePressed: root.picked = -1
            onActiveFocusChanged: if (!activeFocus) root.picked = -1

            Rectangle {
                anchors.fill: parent
                anchors.margins: -4
                radius: 6
                color: "transparent"
                border.width: frame.activeFocus ? 2 : 0
                border.color: T.accent
            }
            Item {
                id: plot
                anchors.fill: parent
                anchors.rightMargin: 44
                anchors.bottomMargin: 16
                visible: chart.placeholder === ""

                Divider {
                    anchors.bottom: parent.bottom
                    width: parent.width
                }
                Rectangle {
                    readonly property var bar: root.picked >= 0 && root.picked < chart.bars.length ? chart.bars[root.picked] : null
                    visible: bar !== null
                    x: bar ? bar.x : 0
                    width: bar ? bar.w : 0
                    height: plot.height
                    color: T.surfaceRaised
                }
                Repeater {
                    model: chart.layers
                    delegate: Shape {
                        id: layer
                        required property var modelData
                        anchors.fill: parent
                        ShapePath {
                            strokeColor: "transparent"
                            fillColor: layer.modelData.color
                            PathMultiline { paths: layer.modelData.rects }
                        }
                    }
                }
                Repeater {
                    model: chart.ticks
                    delegate: Text {
                        required property var modelData
                        x: modelData.x - width / 2
                        y: plot.height + 3
                        text: modelData.label
                        textFormat: Text.PlainText
                        color: T.textTertiary
                        font.pixelSize: T.caption2
                    }
                }
                MouseArea {
                    anchors.fill: parent
                    hoverEnabled: true
                    onPositionChanged: (mouse) => root.picked = Math.floor(mouse.x / (plot.width / Math.max(1, chart.bars.length)))
                    onExited: if (!frame.activeFocus) root.picked = -1
                    onClicked: frame.forceActiveFocus()
                }
                Text {
                    x: plot.width + 6
                    y: -height / 2
                    text: chart.topText
                    textFormat: Text.PlainText
                    color: T.textTertiary
                    font.pixelSize: T.caption2
                }
            }
            Text {
                objectName: "costPlaceholder"
                anchors.centerIn: parent
                visible: chart.placeholder !== ""
                text: chart.placeholder
                textFormat: Text.PlainText
                color: T.textTertiary
                font.pixelSize: T.caption
            }
        }

        Text {
            visible: text !== ""
            text: chart.staleText
            textFormat: Text.PlainText
            color: T.warn
            font.pixelSize: T.caption2
        }
    }
}

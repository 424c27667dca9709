import QtQuick
import QtQuick.Shapes
import Corvane

// The five-hour window of an account since its last reset, across to its next: a small line
// with its projection dashed, a faint 80 % guide, and a flat track while there is nothing.
Item {
    id: root
    property string provider
    property string email
    readonly property alias model: chart

    objectName: "sparkline"
    implicitHeight: 22
    Accessible.role: Accessible.Chart
    Accessible.name: "Лимит 5 часов с последнего сброса"
    Accessible.description: chart.description

    HistoryChart {
        id: chart
        provider: root.provider
        email: root.email
        mode: "spark"
        plotWidth: root.width
        plotHeight: root.height
        tick: AcRules.tick
    }

    Rectangle {
        anchors.bottom: parent.bottom
        width: parent.width
        height: 1
        color: T.border
    }
    Repeater {
        model: chart.guides.length > 0 ? [chart.guides[0]] : []
        delegate: Rectangle {
            required property var modelData
            y: modelData.y
            width: root.width
            height: 1
            color: T.warn
            opacity: 0.35
        }
    }
    Shape {
        anchors.fill: parent
        visible: !chart.empty
        ShapePath {
            strokeColor: T.accent
            strokeWidth: 1.5
            fillColor: "transparent"
            PathPolyline { path: chart.fiveLine }
        }
        ShapePath {
            strokeColor: chart.fiveProjection.shown ? T.accent : "transparent"
            strokeWidth: 1
            strokeStyle: ShapePath.DashLine
            dashPattern: [3, 3]
            fillColor: "transparent"
            startX: chart.fiveProjection.x1; startY: chart.fiveProjection.y1
            PathLine { x: chart.fiveProjection.x2; y: chart.fiveProjection.y2 }
        }
    }
    HoverHandler {
        id: hover
    }
    Rectangle {
        readonly property var p: hover.hovered ? chart.probe(hover.point.position.x) : ({hit: false})
        visible: p.hit
        x: Math.min(Math.max(0, (p.x || 0) - width / 2), root.width - width)
        y: -height - 2
        z: 2
        width: tip.implicitWidth + 10
        height: tip.implicitHeight + 6
        radius: 4
        color: T.surfaceRaised
        border.color: T.border
        Text {
            id: tip
            anchors.centerIn: parent
            text: parent.p.text || ""
            textFormat: Text.PlainText
            color: T.text
            font.family: T.font
            font.pixelSize: T.caption2
        }
    }
}

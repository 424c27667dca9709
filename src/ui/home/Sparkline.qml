pragma ComponentBehavior: Bound
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
    // The x of the picked reading (pointer or arrow keys); -1 for none.
    property real cursorX: -1
    readonly property var picked: cursorX >= 0 ? chart.probe(cursorX) : ({hit: false})

    objectName: "sparkline"
    implicitHeight: 22
    activeFocusOnTab: !chart.empty
    Accessible.role: Accessible.Chart
    Accessible.name: "Лимит 5 часов с последнего сброса"
    Accessible.description: picked.hit ? picked.text : chart.description
    Keys.onLeftPressed: cursorX = chart.step(cursorX, -1)
    Keys.onRightPressed: cursorX = chart.step(cursorX, 1)
    Keys.onEscapePressed: cursorX = -1
    onActiveFocusChanged: if (!activeFocus) cursorX = -1

    HistoryChart {
        id: chart
        provider: root.provider
        email: root.email
        mode: "spark"
        plotWidth: root.width
        plotHeight: root.height
    }

    Divider {
        anchors.bottom: parent.bottom
        width: parent.width
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
    Rectangle {
        anchors.fill: parent
        anchors.margins: -2
        visible: root.activeFocus
        color: "transparent"
        radius: 3
        border.color: T.accent
    }
    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.NoButton
        onPositionChanged: (mouse) => root.cursorX = mouse.x
        onExited: if (!root.activeFocus) root.cursorX = -1
    }
    Loader {
        active: root.picked.hit
        z: 2
        sourceComponent: tipComponent
    }
    Component {
        id: tipComponent
        Rectangle {
            readonly property var p: root.picked
            x: Math.min(Math.max(0, (p.x || 0) - width / 2), root.width - width)
            y: -height - 2
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
                font.pixelSize: T.caption2
            }
        }
    }
}

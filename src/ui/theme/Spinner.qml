import QtQuick
import Corvane

// A small activity indicator: a three-quarter ring turning once a second while `running`.
Item {
    id: root
    property real size: 14
    property color color: T.textSecondary
    property bool running: true

    implicitWidth: size
    implicitHeight: size
    visible: running

    Canvas {
        id: ring
        anchors.fill: parent
        onPaint: {
            const ctx = getContext("2d");
            const w = Math.max(1.5, root.size / 8);
            ctx.reset();
            ctx.lineWidth = w;
            ctx.lineCap = "round";
            ctx.strokeStyle = root.color;
            ctx.beginPath();
            ctx.arc(width / 2, height / 2, (Math.min(width, height) - w) / 2, 0, Math.PI * 1.5);
            ctx.stroke();
        }
        onWidthChanged: requestPaint()
        Connections {
            target: root
            function onColorChanged() { ring.requestPaint() }
        }
        RotationAnimator on rotation {
            from: 0; to: 360; duration: 1000
            loops: Animation.Infinite
            running: root.running && root.visible
        }
    }
}

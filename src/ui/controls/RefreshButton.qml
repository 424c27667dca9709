import QtQuick
import Corvane

// The reload button of a section and of the tray panel. From a click until the reads it sent
// have answered it is disabled and turns, so a reload over a slow or lost server never looks
// like a click that did nothing; while the server is lost it stays in the warning colour (the
// stale line beside it says how old the data is).
IconButton {
    id: control
    property bool armed: false // clicked; its reads are not all answered yet
    readonly property bool running: armed && Store.loadsRunning > 0

    symbol: "arrow.clockwise"
    symbolSize: 15
    symbolColor: Store.serverLost ? T.warn : T.textSecondary
    tip: running ? "Обновляется…" : Store.serverLost ? "Нет связи с сервером · обновить" : "Обновить"
    Accessible.name: running ? "Обновляется" : "Обновить"
    enabled: !running
    onClicked: {
        armed = true;
        // A reload that sent nothing (or answered at once) leaves nothing to wait for.
        // The Qt 6.4 linter reads Qt.callLater as a property from its type description, not as the method it is.
        Qt.callLater(function() { if (Store.loadsRunning === 0) control.armed = false; }); // qmllint disable type
    }
    Connections {
        target: Store
        function onLoadsRunningChanged() {
            if (Store.loadsRunning === 0)
                control.armed = false;
        }
    }
    contentItem: Item {
        implicitWidth: control.symbolSize
        implicitHeight: control.symbolSize
        Icon {
            anchors.centerIn: parent
            visible: !control.running
            name: control.symbol
            size: control.symbolSize
            color: control.hovered ? T.text : control.symbolColor
        }
        Spinner {
            objectName: "refreshSpinner"
            anchors.centerIn: parent
            running: control.running
            size: control.symbolSize - 2
        }
    }
}

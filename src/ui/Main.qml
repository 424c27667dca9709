import QtQuick
import QtQuick.Controls.Basic
import Corvane

// The main window. Dark always; the content decides the minimum size. Each time the window is
// shown the root view may restore a saved session (Shell.rootShown decides).
ApplicationWindow {
    id: window
    objectName: "mainWindow"
    title: "Corvane Studio"
    width: 1320
    height: 840
    minimumWidth: root.implicitWidth
    minimumHeight: root.implicitHeight
    color: T.bg
    visible: false
    font.pixelSize: T.body
    // The controls' palette in the theme's colours, so menus, tool tips and dialogs of the
    // basic style are dark like the rest.
    palette.window: T.bg
    palette.windowText: T.text
    palette.base: T.surfaceRaised
    palette.alternateBase: T.surface
    palette.text: T.text
    palette.button: T.surface
    palette.buttonText: T.text
    palette.brightText: "white"
    palette.highlight: T.accent
    palette.highlightedText: "white"
    palette.light: T.surfaceRaised
    palette.midlight: T.surfaceRaised
    palette.mid: T.border
    palette.dark: T.border
    palette.shadow: "black"
    palette.toolTipBase: T.surfaceRaised
    palette.toolTipText: T.text
    palette.placeholderText: T.textTertiary

    onVisibleChanged: if (visible) root.shown()

    RootView {
        id: root
        anchors.fill: parent
    }

    // The result of an update check: the window's own, so it outlives the screen that asked.
    UpdateDialog {
        id: updateDialog
    }
    Connections {
        target: AppUpdater
        function onDialogRequested() { updateDialog.open() }
    }
}

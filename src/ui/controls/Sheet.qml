import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as Tpl
import Corvane

// A modal sheet centred over the window. It follows `shown`: true opens it, false closes it.
// Escape closes it too (a click outside never does: a half-filled form or a one-time password
// must not vanish by a stray click); a close the owner did not ask for emits `dismissed`, and
// the owner then lowers its own flag. The body is built anew for each opening, so every
// opening starts from fresh state.
Popup {
    id: sheet
    property bool shown: false
    property Component body
    // What the body is about (the member a profile sheet shows): when it changes while the sheet
    // is open, the body is built anew, so it never shows one thing with the state of another.
    property var bodyKey
    // False: Escape is left to the body, which decides whether the sheet may close.
    property bool escapeCloses: true
    readonly property alias bodyItem: loader.item
    signal dismissed()

    parent: Tpl.Overlay.overlay
    anchors.centerIn: parent
    modal: true
    dim: true
    focus: true
    padding: 0
    closePolicy: escapeCloses ? Popup.CloseOnEscape : Popup.NoAutoClose

    onShownChanged: shown ? open() : close()
    onBodyKeyChanged: {
        if (loader.item) {
            loader.sourceComponent = null;
            loader.sourceComponent = Qt.binding(function() { return sheet.body; });
        }
    }
    Component.onCompleted: if (shown) open()
    onClosed: if (shown) sheet.dismissed()

    background: Rectangle {
        radius: 12
        color: T.content
        border.width: 1
        border.color: T.border
    }
    Tpl.Overlay.modal: Rectangle {
        color: Qt.rgba(0, 0, 0, 0.55)
    }

    contentItem: FocusScope {
        focus: true
        Loader {
            id: loader
            anchors.fill: parent
            focus: true
            active: sheet.visible
            sourceComponent: sheet.body
        }
    }
}

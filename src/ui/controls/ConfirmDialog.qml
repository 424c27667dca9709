import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as Tpl
import QtQuick.Layouts
import Corvane

// A destructive confirmation. It follows `shown`; it opens with "Отмена" focused, so Enter or
// Space on a confirmation nobody read cancels it. Escape and "Отмена" emit `dismissed`.
Popup {
    id: dialog
    property bool shown: false
    property string title
    property string confirmText
    signal confirmed()
    signal dismissed()

    parent: Tpl.Overlay.overlay
    anchors.centerIn: parent
    width: 360
    modal: true
    dim: true
    focus: true
    padding: 20
    closePolicy: Popup.CloseOnEscape

    onShownChanged: shown ? open() : close()
    onOpened: cancelButton.forceActiveFocus()
    onClosed: if (shown) dialog.dismissed()

    background: Rectangle {
        radius: 12
        color: T.surface
        border.width: 1
        border.color: T.border
    }
    Tpl.Overlay.modal: Rectangle {
        color: Qt.rgba(0, 0, 0, 0.55)
    }

    contentItem: ColumnLayout {
        spacing: 18
        CvText {
            objectName: "confirmTitle"
            Layout.fillWidth: true
            text: dialog.title
            wrapMode: Text.Wrap
            role: CvText.Headline
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Item { Layout.fillWidth: true }
            GhostButton {
                id: cancelButton
                objectName: "confirmCancel"
                text: "Отмена"
                Keys.onReturnPressed: dialog.dismissed()
                Keys.onEnterPressed: dialog.dismissed()
                onClicked: dialog.dismissed()
            }
            DangerButton {
                objectName: "confirmButton"
                Layout.maximumWidth: 220
                text: dialog.confirmText
                onClicked: dialog.confirmed()
            }
        }
    }
}

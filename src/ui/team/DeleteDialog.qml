import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as QT
import QtQuick.Layouts
import Corvane

// "Удалить аккаунт … из реестра?": "Удалить" removes the entry it was opened for, "Отмена" (which
// has the focus) or Escape only closes. A click outside does not close it.
Dialog {
    id: dialog
    objectName: "deleteDialog"
    property string provider
    property string email

    function ask(p, e) {
        dialog.provider = p;
        dialog.email = e;
        dialog.open();
    }

    parent: QT.Overlay.overlay
    anchors.centerIn: parent
    modal: true
    closePolicy: Popup.CloseOnEscape
    width: 420
    padding: 20
    onOpened: cancelButton.forceActiveFocus()

    background: Rectangle {
        radius: 12
        color: T.surface
        border.width: 1
        border.color: T.border
    }

    contentItem: ColumnLayout {
        spacing: 16
        CvText {
            objectName: "deleteTitle"
            Layout.fillWidth: true
            text: AcRules.deleteTitle(dialog.email)
            wrapMode: Text.Wrap
            role: CvText.Headline
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Item { Layout.fillWidth: true }
            GhostButton {
                id: cancelButton
                objectName: "cancelDelete"
                text: "Отмена"
                Accessible.name: text
                onClicked: dialog.close()
                Keys.onReturnPressed: clicked()
                Keys.onEnterPressed: clicked()
            }
            GhostButton {
                objectName: "confirmDelete"
                text: "Удалить"
                textColor: T.danger
                Accessible.name: text
                Keys.onReturnPressed: clicked()
                Keys.onEnterPressed: clicked()
                onClicked: {
                    dialog.close();
                    Store.deleteAccount(dialog.provider, dialog.email);
                }
            }
        }
    }
}

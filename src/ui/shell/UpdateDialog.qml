import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The result of a manual update check: a newer version with its notes (plain text) and, when
// the link is safe, a button that opens the release page; or "no newer version"; or the
// error. Nothing is ever downloaded or installed from here.
Dialog {
    id: dialog
    objectName: "updateDialog"
    modal: true
    anchors.centerIn: parent
    width: 420
    padding: 20
    title: AppUpdater.title

    background: Rectangle {
        radius: 12
        color: T.surface
        border.width: 1
        border.color: T.border
    }
    header: CvText {
        leftPadding: 20
        rightPadding: 20
        topPadding: 18
        text: dialog.title
        role: CvText.Headline
    }

    contentItem: ColumnLayout {
        spacing: 10
        CvText {
            objectName: "updateMessage"
            Layout.fillWidth: true
            text: AppUpdater.message
            wrapMode: Text.Wrap
            color: AppUpdater.resultKind === "error" ? T.danger : T.textSecondary
            role: CvText.Callout
        }
        ScrollView {
            Layout.fillWidth: true
            Layout.preferredHeight: Math.min(notes.implicitHeight, 180)
            visible: AppUpdater.resultKind === "found" && AppUpdater.notes !== ""
            clip: true
            CvText {
                id: notes
                width: dialog.availableWidth
                text: AppUpdater.notes
                wrapMode: Text.Wrap
                role: CvText.Caption
            }
        }
        RowLayout {
            Layout.fillWidth: true
            Layout.topMargin: 6
            spacing: 8
            Item { Layout.fillWidth: true }
            GhostButton {
                objectName: "openReleaseButton"
                visible: AppUpdater.canOpenLink
                text: "Открыть страницу"
                onClicked: { AppUpdater.openLink(); dialog.close() }
            }
            AccentButton {
                text: "Закрыть"
                onClicked: dialog.close()
            }
        }
    }
}

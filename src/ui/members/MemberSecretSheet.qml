import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The one-time credential (body of its sheet): the text to hand over, selectable and in a
// fixed-width face, with a copy button. It is shown once: "Готово", Enter or Escape forgets it,
// after a question while it was never copied.
FocusScope {
    id: body
    objectName: "memberSecret"
    focus: true
    property RosterView roster

    implicitHeight: col.implicitHeight + 44
    Keys.onReturnPressed: body.roster.dismissSecret()
    Keys.onEnterPressed: body.roster.dismissSecret()
    Keys.onEscapePressed: body.roster.dismissSecret()

    ColumnLayout {
        id: col
        x: 22
        y: 22
        width: body.width - 44
        spacing: 12

        CvText {
            objectName: "secretTitle"
            Layout.fillWidth: true
            text: body.roster.secretTitle
            elide: Text.ElideRight
            role: CvText.Headline
        }
        RowLayout {
            spacing: 6
            Icon {
                name: "exclamationmark.triangle.fill"
                size: 12
                color: T.warn
            }
            CvText {
                text: "Показывается один раз — скопируй сейчас."
                color: T.warn
                role: CvText.Caption
            }
        }
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: box.implicitHeight + 24
            radius: 10
            color: T.surfaceRaised
            border.width: 1
            border.color: T.border
            RowLayout {
                id: box
                anchors.fill: parent
                anchors.margins: 12
                spacing: 8
                TextEdit {
                    objectName: "secretText"
                    Layout.fillWidth: true
                    Layout.alignment: Qt.AlignTop
                    readOnly: true
                    selectByMouse: true
                    selectByKeyboard: true
                    activeFocusOnPress: true
                    wrapMode: TextEdit.Wrap
                    textFormat: TextEdit.PlainText
                    text: body.roster.secretText
                    color: T.text
                    selectionColor: Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.45)
                    selectedTextColor: T.text
                    font.family: Forms.monoFamily
                    font.pixelSize: 12
                    Accessible.name: body.roster.secretTitle
                    // A copy by keyboard counts as much as the copy button.
                    Keys.onPressed: function(event) {
                        if (event.matches(StandardKey.Copy) && selectedText !== "")
                            body.roster.secretCopied();
                        event.accepted = false;
                    }
                }
                CopyButton {
                    objectName: "copyButton"
                    Layout.alignment: Qt.AlignTop
                    text: body.roster.secretText
                    Accessible.name: "Копировать"
                    onClicked: body.roster.secretCopied()
                }
            }
        }
        RowLayout {
            Layout.fillWidth: true
            Item { Layout.fillWidth: true }
            AccentButton {
                objectName: "doneButton"
                focus: true
                text: "Готово"
                onClicked: body.roster.dismissSecret()
            }
        }
    }
}

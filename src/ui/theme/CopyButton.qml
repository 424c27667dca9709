import QtQuick
import QtQuick.Controls.Basic
import Corvane

// A borderless button that puts `text` on the clipboard and shows a green check mark for
// 1.2 s. Every tap schedules its own reset; the first one due clears the mark.
Button {
    id: control
    property bool done: false
    readonly property string tip: "Копировать"

    flat: true
    hoverEnabled: true
    padding: 3
    ToolTip.visible: hovered
    ToolTip.delay: 500
    ToolTip.text: tip

    onClicked: {
        Ui.copyText(control.text);
        control.done = true;
        resetLater.createObject(control, { button: control });
    }

    Component {
        id: resetLater
        Timer {
            property Item button
            interval: 1200
            running: true
            onTriggered: {
                if (button)
                    button.done = false;
                destroy();
            }
        }
    }

    FocusRing { cornerRadius: 4 }

    contentItem: Icon {
        name: control.done ? "checkmark" : "doc.on.doc"
        size: 10
        color: control.done ? T.ok : (control.hovered ? T.textSecondary : T.textTertiary)
    }

    background: Rectangle {
        radius: 4
        color: control.down ? T.surfaceRaised : "transparent"
    }
}

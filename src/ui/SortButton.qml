import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// "Сортировка" on an outlined capsule, opening the sort menu. `options` are {key, label, icon};
// the current key's entry carries its direction arrow. A choice emits `chosen(key)`.
Button {
    id: control
    property var options: []
    signal chosen(string key)

    flat: true
    hoverEnabled: true
    leftPadding: 10
    rightPadding: 12
    topPadding: 5
    bottomPadding: 5
    text: "Сортировка"
    onClicked: menu.popup(control, 0, control.height + 4)
    Keys.onReturnPressed: menu.popup(control, 0, control.height + 4)

    contentItem: RowLayout {
        spacing: 6
        Icon {
            name: "arrow.up.arrow.down"
            size: 13
            color: T.textSecondary
        }
        Text {
            text: control.text
            textFormat: Text.PlainText
            color: control.hovered ? T.text : T.textSecondary
            font.pixelSize: T.caption
        }
    }
    background: Rectangle {
        implicitHeight: 26
        radius: 8
        color: control.down ? T.surfaceRaised : T.surface
        border.width: 1
        border.color: T.border
    }
    FocusRing { cornerRadius: 8 }

    ThemedMenu {
        id: menu
        objectName: "sortMenu"
        Instantiator {
            // A fixed count: the entries stay while their arrows follow the options.
            model: control.options.length
            delegate: MenuEntry {
                required property int index
                objectName: "sort_" + control.options[index].key
                text: control.options[index].label
                trailingSymbol: control.options[index].icon
                onTriggered: control.chosen(control.options[index].key)
            }
            onObjectAdded: (i, entry) => menu.insertItem(i, entry)
            onObjectRemoved: (i, entry) => menu.removeItem(entry)
        }
    }
}

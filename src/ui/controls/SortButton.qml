import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// "Сортировка" on an outlined capsule, opening the sort menu. `options` are {key, name, label,
// icon}; the current key's entry carries its direction arrow. A choice emits `chosen(key)`.
Button {
    id: control
    property var options: []
    signal chosen(var key)

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
            // qmllint disable unqualified
            // (The linter of Qt 6.4 does not see the file's ids from inside a delegate.)
            delegate: MenuEntry {
                id: entry
                required property int index
                objectName: "sort_" + control.options[entry.index].name
                text: control.options[entry.index].label
                trailingSymbol: control.options[entry.index].icon
                onTriggered: control.chosen(control.options[entry.index].key)
            }
            // qmllint enable unqualified
            onObjectAdded: (i, entry) => menu.insertItem(i, entry)
            onObjectRemoved: (i, entry) => menu.removeItem(entry)
        }
    }
}

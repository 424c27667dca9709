pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// A text field with a menu of suggested values: typing stays free, and choosing a suggestion
// replaces the whole text with it. Every change the user makes arrives as `edited(text)`.
RowLayout {
    id: root
    property string text
    property string placeholder
    property string accessibleName
    property var presets: Forms.specPresets
    signal edited(string text)

    spacing: 6

    FieldStyle {
        id: field
        objectName: "presetInput"
        Layout.fillWidth: true
        text: root.text
        placeholderText: root.placeholder
        Accessible.name: root.accessibleName
        onTextEdited: root.edited(text)
    }
    Button {
        id: drop
        objectName: "presetButton"
        Layout.preferredWidth: field.implicitHeight
        Layout.preferredHeight: field.implicitHeight
        flat: true
        hoverEnabled: true
        Accessible.name: "Варианты: " + root.accessibleName
        onClicked: root.openMenu()
        Keys.onReturnPressed: root.openMenu()
        contentItem: Icon {
            name: "chevron.down"
            size: 15
            color: drop.hovered ? T.text : T.textSecondary
        }
        background: Rectangle {
            radius: 10
            color: drop.down ? T.surface : T.surfaceRaised
            border.width: 1
            border.color: T.border
        }
        FocusRing { cornerRadius: 10 }
    }
    // The menu is made when first opened, so a form starts without fifteen menu entries.
    property ThemedMenu menu: null
    function openMenu() {
        if (!root.menu)
            root.menu = menuComponent.createObject(root);
        root.menu.popup(drop, 0, drop.height + 4);
    }
    Component {
        id: menuComponent
        ThemedMenu {
            id: menu
            objectName: "presetMenu"
            Instantiator {
                model: root.presets
                delegate: MenuEntry {
                    required property string modelData
                    text: modelData
                    onTriggered: root.edited(modelData)
                }
                onObjectAdded: (i, entry) => menu.insertItem(i, entry)
                onObjectRemoved: (i, entry) => menu.removeItem(entry)
            }
        }
    }
}

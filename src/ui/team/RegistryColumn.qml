import QtQuick
import QtQuick.Layouts
import Corvane

// The account's registry entry as a two-column grid of small labelled values.
ColumnLayout {
    id: root
    property var acct

    RegistryModel {
        id: registry
        acct: root.acct
    }

    spacing: 8

    SectionLabel {
        t: "Реестр"
    }
    // A positioner, not a GridLayout, holds the values: a Quick Layout (Qt 6.4) can keep a
    // delegate its Repeater has destroyed and crash on the next rearrange.
    Grid {
        id: grid
        Layout.fillWidth: true
        columns: 2
        rowSpacing: 12
        columnSpacing: 12
        Repeater {
            model: registry
            // qmllint disable unqualified
            // (The linter of Qt 6.4 does not see the file's ids inside a delegate.)
            delegate: ColumnLayout {
                id: entry
                required property string label
                required property string value
                required property string tone
                objectName: "registryItem"
                width: Math.max(10, (grid.width - grid.columnSpacing) / 2)
                spacing: 2
                Text {
                    Layout.fillWidth: true
                    text: entry.label
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: T.textTertiary
                    font.pixelSize: 8
                    font.weight: Font.Medium
                    font.capitalization: Font.AllUppercase
                }
                Text {
                    objectName: "registryValue"
                    Layout.fillWidth: true
                    text: entry.value
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: T.role(entry.tone)
                    font.pixelSize: T.caption
                }
            }
            // qmllint enable unqualified
        }
    }
}

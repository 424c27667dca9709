import QtQuick
import QtQuick.Layouts
import Corvane

// The account's registry entry as a two-column grid of small labelled values.
ColumnLayout {
    id: root
    property var acct
    readonly property var items: AcRules.registryItems(acct, AcRules.tick)

    spacing: 8

    SectionLabel {
        t: "Реестр"
    }
    GridLayout {
        Layout.fillWidth: true
        columns: 2
        rowSpacing: 12
        columnSpacing: 12
        Repeater {
            model: root.items
            delegate: ColumnLayout {
                required property var modelData
                objectName: "registryItem"
                Layout.fillWidth: true
                Layout.minimumWidth: 10
                Layout.preferredWidth: 1
                Layout.alignment: Qt.AlignTop | Qt.AlignLeft
                spacing: 2
                Text {
                    Layout.fillWidth: true
                    text: modelData.label
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: T.textTertiary
                    font.family: T.font
                    font.pixelSize: 8
                    font.weight: Font.Medium
                    font.capitalization: Font.AllUppercase
                }
                Text {
                    objectName: "registryValue"
                    Layout.fillWidth: true
                    text: modelData.value
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: T.role(modelData.tone)
                    font.family: T.font
                    font.pixelSize: T.caption
                }
            }
        }
    }
}

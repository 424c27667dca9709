import QtQuick
import QtQuick.Layouts
import Corvane

// The devices an account is used on: one small card each, or "нет активных устройств".
ColumnLayout {
    id: root
    property var acct
    readonly property var devices: AcRules.devices(acct, AcRules.tick)

    spacing: 8

    SectionLabel {
        t: "Устройства"
    }
    Text {
        objectName: "noDevices"
        visible: root.devices.length === 0
        text: "нет активных устройств"
        textFormat: Text.PlainText
        color: T.textTertiary
        font.pixelSize: T.caption
    }
    // A positioner holds the cards: the list is rebuilt every second, and a Quick Layout
    // (Qt 6.4) can keep a delegate its Repeater has destroyed and crash on the next rearrange.
    Column {
        id: cards
        Layout.fillWidth: true
        spacing: root.spacing
        Repeater {
            model: root.devices
            // qmllint disable unqualified
            // (The linter of Qt 6.4 does not see the file's ids inside a delegate.)
            delegate: Rectangle {
                id: device
                required property var modelData
                objectName: "deviceCard"
                width: cards.width
                implicitHeight: lines.implicitHeight + 16
                radius: 8
                color: T.surface
                border.width: 1
                border.color: T.border

                ColumnLayout {
                    id: lines
                    anchors.fill: parent
                    anchors.margins: 8
                    spacing: 3
                    RowLayout {
                        spacing: 6
                        Layout.fillWidth: true
                        Rectangle {
                            implicitWidth: 6
                            implicitHeight: 6
                            radius: 3
                            color: T.role(AcRules.liveTone(device.modelData.online ? "ok" : "textTertiary", Store.serverLost))
                        }
                        Text {
                            objectName: "deviceName"
                            Layout.fillWidth: true
                            text: device.modelData.name
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            color: T.text
                            font.pixelSize: 12
                            font.weight: Font.Medium
                        }
                        Text {
                            text: device.modelData.seen
                            textFormat: Text.PlainText
                            color: T.textTertiary
                            font.pixelSize: 9
                        }
                    }
                    Text {
                        objectName: "deviceDetails"
                        Layout.fillWidth: true
                        text: device.modelData.details
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: T.textTertiary
                        font.pixelSize: 9
                    }
                    RowLayout {
                        spacing: 6
                        Text {
                            visible: device.modelData.cc !== ""
                            text: device.modelData.cc
                            textFormat: Text.PlainText
                            color: T.textTertiary
                            font.pixelSize: 9
                        }
                        Text {
                            visible: device.modelData.br !== ""
                            text: device.modelData.br
                            textFormat: Text.PlainText
                            color: T.accent
                            font.pixelSize: 9
                        }
                        Icon {
                            visible: device.modelData.outdated
                            name: "exclamationmark.triangle.fill"
                            size: 8
                            color: T.warn
                        }
                        Text {
                            text: device.modelData.figures
                            textFormat: Text.PlainText
                            color: T.textTertiary
                            font.pixelSize: 9
                        }
                    }
                }
            }
            // qmllint enable unqualified
        }
    }
}

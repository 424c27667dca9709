import QtQuick
import QtQuick.Layouts
import Corvane

// The devices an account is used on: one small card each, or "нет активных устройств".
ColumnLayout {
    id: root
    property var acct

    DevicesModel {
        id: devices
        acct: root.acct
    }

    spacing: 8

    SectionLabel {
        t: "Устройства"
    }
    Text {
        objectName: "noDevices"
        visible: devices.count === 0
        text: "нет активных устройств"
        textFormat: Text.PlainText
        color: T.textTertiary
        font.pixelSize: T.caption
    }
    // A positioner holds the cards: a Quick Layout (Qt 6.4) can keep a delegate its Repeater has
    // destroyed and crash on the next rearrange.
    Column {
        id: cards
        Layout.fillWidth: true
        spacing: root.spacing
        Repeater {
            model: devices
            // qmllint disable unqualified
            // (The linter of Qt 6.4 does not see the file's ids inside a delegate.)
            delegate: Rectangle {
                id: device
                required property string name
                required property string seen
                required property bool online
                required property string details
                required property string cc
                required property string br
                required property bool outdated
                required property string figures
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
                            color: T.role(AcRules.liveTone(device.online ? "ok" : "textTertiary", Store.serverLost))
                        }
                        Text {
                            objectName: "deviceName"
                            Layout.fillWidth: true
                            text: device.name
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            color: T.text
                            font.pixelSize: 12
                            font.weight: Font.Medium
                        }
                        Text {
                            text: device.seen
                            textFormat: Text.PlainText
                            color: T.textTertiary
                            font.pixelSize: 9
                        }
                    }
                    Text {
                        objectName: "deviceDetails"
                        Layout.fillWidth: true
                        text: device.details
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: T.textTertiary
                        font.pixelSize: 9
                    }
                    RowLayout {
                        spacing: 6
                        Text {
                            visible: device.cc !== ""
                            text: device.cc
                            textFormat: Text.PlainText
                            color: T.textTertiary
                            font.pixelSize: 9
                        }
                        Text {
                            visible: device.br !== ""
                            text: device.br
                            textFormat: Text.PlainText
                            color: T.accent
                            font.pixelSize: 9
                        }
                        Icon {
                            visible: device.outdated
                            name: "exclamationmark.triangle.fill"
                            size: 8
                            color: T.warn
                        }
                        Text {
                            text: device.figures
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

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// One account of the AI resources table: thirteen cells in the table's widths; a click (or
// Space/Enter on the current row) opens the account's detail below it. What each cell says and
// in which colour comes from AcRules.row.
Item {
    id: root
    property var acct
    property bool expanded: false
    property bool current: false      // the keyboard's current row
    property real emailWidth: 150
    // The part of the (sideways scrolling) table in view: the open detail stays within it.
    property real viewX: 0
    property real viewWidth: width
    readonly property var r: AcRules.row(acct, AcRules.tick)
    readonly property alias detail: detailLoader.item

    implicitHeight: col.implicitHeight
    Accessible.role: Accessible.Row
    Accessible.name: AcRules.rowName(r.email, expanded)

    function toggle() { Store.toggleExpanded(root.r.id) }

    ColumnLayout {
        id: col
        anchors.left: parent.left
        anchors.right: parent.right
        spacing: 0

        Rectangle {
            id: bar
            objectName: "rowBar"
            Layout.fillWidth: true
            implicitHeight: cells.implicitHeight + 20
            color: area.containsMouse || root.expanded ? Qt.rgba(T.surfaceRaised.r, T.surfaceRaised.g, T.surfaceRaised.b, 0.5)
                                                      : "transparent"
            border.width: root.current ? 1 : 0
            border.color: Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.6)

            MouseArea {
                id: area
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: root.toggle()
            }

            RowLayout {
                id: cells
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                anchors.leftMargin: 16
                anchors.rightMargin: 16
                spacing: 12

                // Provider
                RowLayout {
                    Layout.preferredWidth: 132
                    Layout.maximumWidth: 132
                    spacing: 6
                    ProviderLogo {
                        provider: root.r.provider
                        size: 18
                    }
                    ColumnLayout {
                        spacing: 1
                        Layout.fillWidth: true
                        Text {
                            objectName: "provLabel"
                            Layout.fillWidth: true
                            text: root.r.provLabel
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            color: T.text
                            font.pixelSize: T.caption
                        }
                        RowLayout {
                            spacing: 3
                            Icon {
                                name: root.r.authSymbol
                                size: 8
                                color: T.textTertiary
                            }
                            Text {
                                objectName: "authText"
                                text: root.r.authText
                                textFormat: Text.PlainText
                                color: T.textTertiary
                                font.pixelSize: 9
                            }
                        }
                    }
                    Text {
                        objectName: "marker"
                        visible: text !== ""
                        text: root.r.marker
                        textFormat: Text.PlainText
                        color: T.role(root.r.markerTone)
                        font.pixelSize: T.caption
                    }
                }
                // Group and owner
                ColumnLayout {
                    Layout.preferredWidth: 74
                    Layout.maximumWidth: 74
                    spacing: 2
                    GroupChip {
                        visible: root.r.hasGroup
                        t: root.r.group
                    }
                    Text {
                        visible: !root.r.hasGroup
                        text: "—"
                        color: T.textTertiary
                        font.pixelSize: T.caption
                    }
                    Text {
                        objectName: "owner"
                        Layout.fillWidth: true
                        visible: root.r.owner !== ""
                        text: root.r.owner
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: T.textSecondary
                        font.pixelSize: 9
                    }
                }
                // E-mail
                RowLayout {
                    Layout.preferredWidth: root.emailWidth
                    Layout.maximumWidth: root.emailWidth
                    spacing: 4
                    Text {
                        objectName: "email"
                        Layout.fillWidth: true
                        text: root.r.email
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        color: T.text
                        font.pixelSize: T.callout
                    }
                    CopyButton {
                        text: root.r.email
                        Accessible.name: tip
                    }
                }
                // Status
                Item {
                    Layout.preferredWidth: 70
                    Layout.maximumWidth: 70
                    implicitHeight: pill.implicitHeight
                    StatusPill {
                        id: pill
                        objectName: "statusPill"
                        text: root.r.statusText
                        tone: root.r.statusTone
                    }
                }
                CellGauge {
                    objectName: "fiveGauge"
                    pct: root.acct ? root.acct.fivePct : 0
                    w: 96
                }
                CellGauge {
                    objectName: "sevenGauge"
                    pct: root.acct ? root.acct.sevenPct : 0
                    w: 90
                }
                // Top weekly model
                Text {
                    objectName: "topModel"
                    Layout.preferredWidth: 98
                    Layout.maximumWidth: 98
                    text: root.r.topText
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: T.role(root.r.topTone)
                    font.pixelSize: T.caption
                }
                // Five-hour reset
                Text {
                    objectName: "reset5"
                    Layout.preferredWidth: 100
                    Layout.maximumWidth: 100
                    text: root.r.reset5Text
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: T.role(root.r.reset5Tone)
                    font.pixelSize: T.caption
                }
                // How long the five-hour window lasts at the server's estimated rate
                Text {
                    objectName: "eta"
                    Layout.preferredWidth: 96
                    Layout.maximumWidth: 96
                    text: root.r.etaText
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: T.role(root.r.etaTone)
                    font.pixelSize: T.caption
                }
                // Seven-day reset
                ColumnLayout {
                    Layout.preferredWidth: 108
                    Layout.maximumWidth: 108
                    spacing: 1
                    Text {
                        objectName: "reset7"
                        text: root.r.reset7Text
                        textFormat: Text.PlainText
                        color: T.role(root.r.reset7Tone)
                        font.pixelSize: T.caption
                    }
                    Text {
                        visible: text !== ""
                        text: root.r.reset7Date
                        textFormat: Text.PlainText
                        color: T.textTertiary
                        font.pixelSize: 9
                    }
                }
                // Cost
                Text {
                    objectName: "cost"
                    Layout.preferredWidth: 82
                    Layout.maximumWidth: 82
                    horizontalAlignment: Text.AlignRight
                    text: root.r.cost
                    textFormat: Text.PlainText
                    color: T.text
                    font.pixelSize: T.caption
                }
                // Who
                RowLayout {
                    Layout.preferredWidth: 92
                    Layout.maximumWidth: 92
                    spacing: 4
                    Text {
                        visible: root.r.whoNone
                        text: "—"
                        color: T.textTertiary
                        font.pixelSize: T.caption
                    }
                    Rectangle {
                        visible: !root.r.whoNone
                        implicitWidth: 5
                        implicitHeight: 5
                        radius: 2.5
                        color: T.role(root.r.whoDot)
                    }
                    Text {
                        objectName: "whoName"
                        visible: !root.r.whoNone
                        Layout.fillWidth: true
                        text: root.r.whoName
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: T.textSecondary
                        font.pixelSize: T.caption
                    }
                    Text {
                        visible: root.r.whoMore !== ""
                        text: root.r.whoMore
                        textFormat: Text.PlainText
                        color: T.textTertiary
                        font.pixelSize: 9
                    }
                }
                // Project and presence
                RowLayout {
                    Layout.preferredWidth: 112
                    Layout.maximumWidth: 112
                    spacing: 4
                    Rectangle {
                        visible: root.r.presDot
                        implicitWidth: 5
                        implicitHeight: 5
                        radius: 2.5
                        color: T.role(AcRules.liveTone("ok", Store.serverLost))
                    }
                    Text {
                        objectName: "presence"
                        Layout.fillWidth: true
                        text: root.r.presText
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: T.role(root.r.presTone)
                        font.pixelSize: T.caption
                    }
                }
                // Chevron
                Icon {
                    objectName: "chevron"
                    Layout.preferredWidth: 20
                    name: "chevron.right"
                    size: 14
                    color: T.textTertiary
                    rotation: root.expanded ? 90 : 0
                    Behavior on rotation { NumberAnimation { duration: 150; easing.type: Easing.InOutQuad } }
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            visible: root.expanded
            implicitHeight: detailLoader.item ? detailLoader.item.implicitHeight + 8 : 0
            color: Qt.rgba(T.bg.r, T.bg.g, T.bg.b, 0.35)
            Loader {
                id: detailLoader
                objectName: "detailLoader"
                x: root.viewX + 16
                y: 4
                width: root.viewWidth - 32
                height: parent.height - 8
                active: root.expanded
                sourceComponent: AccountDetail {
                    acct: root.acct
                }
            }
        }
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: T.border
            opacity: 0.6
        }
    }
}

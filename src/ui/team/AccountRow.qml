import QtQuick
import QtQuick.Layouts
import Corvane

// One line of the AI resources table, the list's delegate: in "people" mode an owner's group
// header, else one account with thirteen cells in the table's widths; a click (or Space/Enter
// on the current row) opens the account's detail below it. Every cell's text and colour role is
// a role of the list model (worked out in C++); the model refreshes the countdowns itself.
Item {
    id: root
    required property bool isHeader
    required property string accountId
    required property var acct
    required property bool expanded
    required property string provider
    required property string provLabel
    required property string authSymbol
    required property string authText
    required property string marker
    required property string markerTone
    required property string group
    required property string owner
    required property string email
    required property string statusText
    required property string statusTone
    required property string fiveText
    required property string fiveTone
    required property string fiveBarTone
    required property real fiveFrac
    required property string sevenText
    required property string sevenTone
    required property string sevenBarTone
    required property real sevenFrac
    required property string topText
    required property string topTone
    required property string reset5Text
    required property string reset5Tone
    required property string etaText
    required property string etaTone
    required property string reset7Text
    required property string reset7Tone
    required property string reset7Date
    required property string cost
    required property bool whoNone
    required property string whoName
    required property string whoDot
    required property string whoMore
    required property string presText
    required property bool presDot
    required property string presTone
    required property string groupName
    required property string groupCount
    required property string groupSummary
    required property bool groupOnline

    property bool current: false      // the keyboard's current row
    property real emailWidth: 150
    // The part of the (sideways scrolling) table in view: the open detail stays within it.
    property real viewX: 0
    property real viewWidth: width
    // The open detail (set by its loader), null while closed.
    property AccountDetail detail: null

    objectName: isHeader ? "personRow" : "accountRow"
    implicitHeight: isHeader ? headerLoader.implicitHeight : bodyLoader.implicitHeight
    Accessible.role: isHeader ? Accessible.NoRole : Accessible.Row
    Accessible.name: isHeader ? groupName : AcRules.rowName(email, expanded)

    function toggle() {
        if (!root.isHeader)
            Store.resources.toggleExpanded(root.accountId)
    }

    // Only the kind of row shown is built: a long list scrolls through many delegates.
    // qmllint disable unqualified
    // (The linter of Qt 6.4 does not see the file's ids inside a component.)
    Loader {
        id: headerLoader
        width: parent.width
        active: root.isHeader
        sourceComponent: PersonHeaderRow {
            name: root.groupName
            countText: root.groupCount
            summary: root.groupSummary
            online: root.groupOnline
        }
    }
    Loader {
        id: bodyLoader
        width: parent.width
        active: !root.isHeader
        sourceComponent: accountBody
    }

    Component {
        id: accountBody
        ColumnLayout {
            id: col
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
                            provider: root.provider
                            size: 18
                        }
                        ColumnLayout {
                            spacing: 1
                            Layout.fillWidth: true
                            Text {
                                objectName: "provLabel"
                                Layout.fillWidth: true
                                text: root.provLabel
                                textFormat: Text.PlainText
                                elide: Text.ElideRight
                                color: T.text
                                font.pixelSize: T.caption
                            }
                            RowLayout {
                                spacing: 3
                                Icon {
                                    name: root.authSymbol
                                    size: 8
                                    color: T.textTertiary
                                }
                                Text {
                                    objectName: "authText"
                                    text: root.authText
                                    textFormat: Text.PlainText
                                    color: T.textTertiary
                                    font.pixelSize: 9
                                }
                            }
                        }
                        Text {
                            objectName: "marker"
                            visible: text !== ""
                            text: root.marker
                            textFormat: Text.PlainText
                            color: T.role(root.markerTone)
                            font.pixelSize: T.caption
                        }
                    }
                    // Group and owner
                    ColumnLayout {
                        Layout.preferredWidth: 74
                        Layout.maximumWidth: 74
                        spacing: 2
                        GroupChip {
                            visible: root.group !== ""
                            t: root.group
                        }
                        Text {
                            visible: root.group === ""
                            text: "—"
                            color: T.textTertiary
                            font.pixelSize: T.caption
                        }
                        Text {
                            objectName: "owner"
                            Layout.fillWidth: true
                            visible: root.owner !== ""
                            text: root.owner
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
                            text: root.email
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            maximumLineCount: 1
                            color: T.text
                            font.pixelSize: T.callout
                        }
                        CopyButton {
                            text: root.email
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
                            text: root.statusText
                            tone: root.statusTone
                        }
                    }
                    CellGauge {
                        objectName: "fiveGauge"
                        text: root.fiveText
                        tone: root.fiveTone
                        barTone: root.fiveBarTone
                        frac: root.fiveFrac
                        w: 96
                    }
                    CellGauge {
                        objectName: "sevenGauge"
                        text: root.sevenText
                        tone: root.sevenTone
                        barTone: root.sevenBarTone
                        frac: root.sevenFrac
                        w: 90
                    }
                    // Top weekly model
                    Text {
                        objectName: "topModel"
                        Layout.preferredWidth: 98
                        Layout.maximumWidth: 98
                        text: root.topText
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: T.role(root.topTone)
                        font.pixelSize: T.caption
                    }
                    // Five-hour reset
                    Text {
                        objectName: "reset5"
                        Layout.preferredWidth: 100
                        Layout.maximumWidth: 100
                        text: root.reset5Text
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: T.role(root.reset5Tone)
                        font.pixelSize: T.caption
                    }
                    // How long the five-hour window lasts at the server's estimated rate
                    Text {
                        objectName: "eta"
                        Layout.preferredWidth: 96
                        Layout.maximumWidth: 96
                        text: root.etaText
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: T.role(root.etaTone)
                        font.pixelSize: T.caption
                    }
                    // Seven-day reset
                    ColumnLayout {
                        Layout.preferredWidth: 108
                        Layout.maximumWidth: 108
                        spacing: 1
                        Text {
                            objectName: "reset7"
                            text: root.reset7Text
                            textFormat: Text.PlainText
                            color: T.role(root.reset7Tone)
                            font.pixelSize: T.caption
                        }
                        Text {
                            visible: text !== ""
                            text: root.reset7Date
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
                        text: root.cost
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
                            visible: root.whoNone
                            text: "—"
                            color: T.textTertiary
                            font.pixelSize: T.caption
                        }
                        Rectangle {
                            visible: !root.whoNone
                            implicitWidth: 5
                            implicitHeight: 5
                            radius: 2.5
                            color: T.role(root.whoDot)
                        }
                        Text {
                            objectName: "whoName"
                            visible: !root.whoNone
                            Layout.fillWidth: true
                            text: root.whoName
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            color: T.textSecondary
                            font.pixelSize: T.caption
                        }
                        Text {
                            visible: root.whoMore !== ""
                            text: root.whoMore
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
                            visible: root.presDot
                            implicitWidth: 5
                            implicitHeight: 5
                            radius: 2.5
                            color: T.role(AcRules.liveTone("ok", Store.serverLost))
                        }
                        Text {
                            objectName: "presence"
                            Layout.fillWidth: true
                            text: root.presText
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            color: T.role(root.presTone)
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
                implicitHeight: root.detail ? root.detail.implicitHeight + 8 : 0
                color: Qt.rgba(T.bg.r, T.bg.g, T.bg.b, 0.35)
                Loader {
                    id: detailLoader
                    objectName: "detailLoader"
                    x: root.viewX + 16
                    y: 4
                    width: root.viewWidth - 32
                    height: parent.height - 8
                    active: root.expanded
                    onItemChanged: root.detail = item as AccountDetail
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
    // qmllint enable unqualified
}

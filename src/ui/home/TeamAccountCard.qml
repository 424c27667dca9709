import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// A dashboard card of one team account: header (presence, e-mail, tags, owner), figures and
// activity, the two gauges, the weekly per-model limits, who uses it, and when opened, its detail.
// `expanded` belongs to the card; the list keeps each card with its account across reloads.
Rectangle {
    id: root
    property var acct
    property bool expanded: false
    readonly property var c: AcRules.card(acct, AcRules.tick)
    readonly property alias detail: detailLoader.item

    function toggle() { root.expanded = !root.expanded }

    implicitHeight: col.implicitHeight + 28
    radius: 12
    color: T.surface
    border.width: 1
    border.color: T.border

    ColumnLayout {
        id: col
        anchors.fill: parent
        anchors.margins: 14
        spacing: 10

        Button {
            id: header
            objectName: "cardHeader"
            Layout.fillWidth: true
            flat: true
            padding: 0
            hoverEnabled: true
            focusPolicy: Qt.StrongFocus
            Accessible.name: AcRules.rowName(root.c.email, root.expanded)
            onClicked: root.toggle()
            Keys.onSpacePressed: root.toggle()
            Keys.onReturnPressed: root.toggle()
            Keys.onEnterPressed: root.toggle()
            background: Item {}
            FocusRing { cornerRadius: 6 }
            contentItem: RowLayout {
                spacing: 8
                Rectangle {
                    objectName: "cardDot"
                    implicitWidth: 8
                    implicitHeight: 8
                    radius: 4
                    color: T.role(AcRules.liveTone(root.c.dotTone, Store.serverLost))
                }
                Text {
                    objectName: "cardEmail"
                    // Its own width, shrinking (elided) only when the row is short of room.
                    Layout.preferredWidth: implicitWidth
                    Layout.minimumWidth: Math.min(implicitWidth, 80)
                    text: root.c.email
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    maximumLineCount: 1
                    color: T.text
                    font.pixelSize: T.callout
                    font.bold: true
                }
                Tag {
                    objectName: "providerTag"
                    visible: root.c.providerTag !== ""
                    text: root.c.providerTag
                }
                Tag {
                    objectName: "groupTag"
                    visible: root.c.groupTag !== ""
                    text: root.c.groupTag
                }
                Rectangle {
                    objectName: "holdBadge"
                    visible: root.c.hold
                    // Sized by its text (no id: the row is a deferred contentItem).
                    implicitWidth: children[0].implicitWidth + 14
                    implicitHeight: children[0].implicitHeight + 4
                    radius: height / 2
                    color: Qt.rgba(T.warn.r, T.warn.g, T.warn.b, 0.15)
                    Text {
                        anchors.centerIn: parent
                        text: "Hold"
                        color: T.warn
                        font.pixelSize: T.caption2
                    }
                }
                Item { Layout.fillWidth: true }
                Text {
                    objectName: "cardOwner"
                    visible: root.c.owner !== ""
                    text: root.c.owner
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    Layout.maximumWidth: 220
                    color: T.textSecondary
                    font.pixelSize: T.caption
                }
                Icon {
                    objectName: "cardChevron"
                    name: "chevron.right"
                    size: 10
                    color: T.textTertiary
                    rotation: root.expanded ? 90 : 0
                    Behavior on rotation { NumberAnimation { duration: 150; easing.type: Easing.InOutQuad } }
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 14
            Metric {
                objectName: "costMetric"
                icon: "dollarsign.circle"
                text: root.c.cost
            }
            Metric {
                visible: root.c.model !== ""
                icon: "cpu"
                text: root.c.model
            }
            Metric {
                visible: root.c.tokens !== ""
                icon: "arrow.left.arrow.right"
                text: root.c.tokens
            }
            Tag {
                visible: root.c.pull
                text: "pull"
                muted: true
            }
            Item { Layout.fillWidth: true }
            RowLayout {
                objectName: "activity"
                spacing: 4
                // Positioners hold this card's repeated pieces: the card's figures are rebuilt
                // every second, and a Quick Layout (Qt 6.4) can keep a delegate its Repeater has
                // destroyed and crash on the next rearrange.
                Row {
                    spacing: 4
                    Repeater {
                        model: root.c.projects
                        // qmllint disable unqualified
                        // (The linter of Qt 6.4 does not see the file's ids inside a delegate.)
                        delegate: Tag {
                            id: item
                            required property string modelData
                            objectName: "projectTag"
                            text: modelData
                        }
                        // qmllint enable unqualified
                    }
                }
                Text {
                    objectName: "activityMore"
                    visible: root.c.more !== ""
                    text: root.c.more
                    textFormat: Text.PlainText
                    color: T.textTertiary
                    font.pixelSize: T.caption2
                }
                Text {
                    objectName: "activitySeen"
                    visible: root.c.seen !== ""
                    text: root.c.seen
                    textFormat: Text.PlainText
                    color: T.textTertiary
                    font.pixelSize: T.caption2
                }
            }
        }

        TeamGauge {
            objectName: "fiveGauge"
            title: "5 часов"
            pct: root.acct ? root.acct.fivePct : 0
            reset: root.acct ? root.acct.fiveReset : 0
        }
        ForecastLine {
            objectName: "fiveForecast"
            indent: 60
            line: Forecasts.teamLine(root.acct, Forecasts.revision, AcRules.tick)
        }
        TeamGauge {
            objectName: "sevenGauge"
            title: "7 дней"
            pct: root.acct ? root.acct.sevenPct : 0
            reset: root.acct ? root.acct.sevenReset : 0
        }

        Rectangle {
            Layout.fillWidth: true
            visible: root.c.scoped.length > 0
            implicitHeight: 1
            color: T.border
        }
        Column {
            id: scopedRows
            Layout.fillWidth: true
            visible: root.c.scoped.length > 0
            spacing: 4
            Repeater {
                model: root.c.scoped
                // qmllint disable unqualified
                // (The linter of Qt 6.4 does not see the file's ids inside a delegate.)
                delegate: RowLayout {
                    id: item2
                    required property var modelData
                    objectName: "scopedRow"
                    width: scopedRows.width
                    spacing: 8
                    Text {
                        Layout.preferredWidth: 90
                        text: item2.modelData.name
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: T.textTertiary
                        font.pixelSize: 10
                    }
                    Item {
                        Layout.fillWidth: true
                        implicitHeight: 4
                        Rectangle {
                            anchors.fill: parent
                            radius: 2
                            color: T.surfaceRaised
                        }
                        Rectangle {
                            width: parent.width * item2.modelData.frac
                            height: parent.height
                            visible: width > 0
                            radius: 2
                            color: T.role(item2.modelData.tone)
                        }
                    }
                    Text {
                        Layout.preferredWidth: 34
                        horizontalAlignment: Text.AlignRight
                        text: item2.modelData.text
                        textFormat: Text.PlainText
                        color: T.textSecondary
                        font.pixelSize: 10
                    }
                }
                // qmllint enable unqualified
            }
        }

        RowLayout {
            objectName: "usersRow"
            visible: root.c.users.length > 0
            spacing: 6
            Text {
                text: "кто использует"
                color: T.textTertiary
                font.pixelSize: 10
            }
            Row {
                spacing: 6
                Repeater {
                    model: root.c.users
                    // qmllint disable unqualified
                    // (The linter of Qt 6.4 does not see the file's ids inside a delegate.)
                    delegate: RowLayout {
                        id: item3
                        required property var modelData
                        objectName: "userPair"
                        spacing: 3
                        Rectangle {
                            implicitWidth: 5
                            implicitHeight: 5
                            radius: 2.5
                            color: T.role(AcRules.liveTone(item3.modelData.dotTone, Store.serverLost))
                        }
                        Text {
                            text: item3.modelData.name
                            textFormat: Text.PlainText
                            color: T.textSecondary
                            font.pixelSize: T.caption2
                        }
                    }
                    // qmllint enable unqualified
                }
            }
            Text {
                objectName: "usersMore"
                visible: root.c.usersMore !== ""
                text: root.c.usersMore
                textFormat: Text.PlainText
                color: T.textTertiary
                font.pixelSize: T.caption2
            }
        }

        Rectangle {
            Layout.fillWidth: true
            visible: root.expanded
            implicitHeight: 1
            color: T.border
        }
        Loader {
            id: detailLoader
            objectName: "cardDetail"
            Layout.fillWidth: true
            active: root.expanded
            visible: active
            opacity: status === Loader.Ready ? 1 : 0
            Behavior on opacity { NumberAnimation { duration: 150; easing.type: Easing.InOutQuad } }
            // qmllint disable unqualified
            // (The linter of Qt 6.4 does not see the file's ids inside a component.)
            sourceComponent: AccountDetail {
                acct: root.acct
            }
            // qmllint enable unqualified
        }
    }
}

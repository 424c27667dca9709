import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// A dashboard card of one team account: header (presence, e-mail, tags, owner), figures and
// activity, the two gauges, the weekly per-model limits, who uses it, and when opened, its detail.
// The delegate of a TeamAccountsModel: its cells are the row's roles, and the model refreshes the
// countdowns, "… назад" and the run-out line itself. `expanded` belongs to the card; the list
// keeps each card with its account across reloads.
Rectangle {
    id: root
    required property var acct
    required property string email
    required property string owner
    required property string group
    required property string cardDot
    required property string providerTag
    required property bool hold
    required property string cardCost
    required property string modelName
    required property string tokens
    required property bool pull
    required property var projects
    required property string activityMore
    required property string seen
    required property string fiveText
    required property string fiveGaugeTone
    required property real fiveFrac
    required property string fiveCountdown
    required property string forecastText
    required property string forecastTone
    required property string sevenText
    required property string sevenGaugeTone
    required property real sevenFrac
    required property string sevenCountdown
    required property var scoped
    required property var users
    required property string usersMore
    property bool expanded: false
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
            Accessible.name: AcRules.rowName(root.email, root.expanded)
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
                    color: T.role(AcRules.liveTone(root.cardDot, Store.serverLost))
                }
                Text {
                    objectName: "cardEmail"
                    // Its own width, shrinking (elided) only when the row is short of room.
                    Layout.preferredWidth: implicitWidth
                    Layout.minimumWidth: Math.min(implicitWidth, 80)
                    text: root.email
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    maximumLineCount: 1
                    color: T.text
                    font.pixelSize: T.callout
                    font.bold: true
                }
                Tag {
                    objectName: "providerTag"
                    visible: root.providerTag !== ""
                    text: root.providerTag
                }
                Tag {
                    objectName: "groupTag"
                    visible: root.group !== ""
                    text: root.group
                }
                Rectangle {
                    objectName: "holdBadge"
                    visible: root.hold
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
                    visible: root.owner !== ""
                    text: root.owner
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
                text: root.cardCost
            }
            Metric {
                visible: root.modelName !== ""
                icon: "cpu"
                text: root.modelName
            }
            Metric {
                visible: root.tokens !== ""
                icon: "arrow.left.arrow.right"
                text: root.tokens
            }
            Tag {
                visible: root.pull
                text: "pull"
                muted: true
            }
            Item { Layout.fillWidth: true }
            RowLayout {
                objectName: "activity"
                spacing: 4
                // Positioners hold this card's repeated pieces: their lists are handed over anew
                // when the account changes, and a Quick Layout (Qt 6.4) can keep a delegate its
                // Repeater has destroyed and crash on the next rearrange.
                Row {
                    spacing: 4
                    Repeater {
                        model: root.projects
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
                    visible: root.activityMore !== ""
                    text: root.activityMore
                    textFormat: Text.PlainText
                    color: T.textTertiary
                    font.pixelSize: T.caption2
                }
                Text {
                    objectName: "activitySeen"
                    visible: root.seen !== ""
                    text: root.seen
                    textFormat: Text.PlainText
                    color: T.textTertiary
                    font.pixelSize: T.caption2
                }
            }
        }

        TeamGauge {
            objectName: "fiveGauge"
            title: "5 часов"
            value: root.fiveText
            tone: root.fiveGaugeTone
            frac: root.fiveFrac
            countdown: root.fiveCountdown
        }
        ForecastLine {
            objectName: "fiveForecast"
            indent: 60
            text: root.forecastText
            tone: root.forecastTone
        }
        TeamGauge {
            objectName: "sevenGauge"
            title: "7 дней"
            value: root.sevenText
            tone: root.sevenGaugeTone
            frac: root.sevenFrac
            countdown: root.sevenCountdown
        }

        Rectangle {
            Layout.fillWidth: true
            visible: root.scoped.length > 0
            implicitHeight: 1
            color: T.border
        }
        Column {
            id: scopedRows
            Layout.fillWidth: true
            visible: root.scoped.length > 0
            spacing: 4
            Repeater {
                model: root.scoped
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
            visible: root.users.length > 0
            spacing: 6
            Text {
                text: "кто использует"
                color: T.textTertiary
                font.pixelSize: 10
            }
            Row {
                spacing: 6
                Repeater {
                    model: root.users
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
                visible: root.usersMore !== ""
                text: root.usersMore
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

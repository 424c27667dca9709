import QtQuick
import QtQuick.Layouts
import Corvane

// One row of the statistics list: a card's title, or one member, account, source, result or
// mirror row, drawn on its slice of the card. Every text and fraction comes from StatsModel.
Item {
    id: row
    required property string kind
    required property bool gapAbove
    required property bool cardEnd
    required property string title
    required property string label
    required property real frac
    required property string share
    required property string money
    required property string note
    required property string note2
    required property string reset
    required property string tone
    required property string pos
    required property string lines
    required property string commits
    required property string prs
    required property string accept
    required property string cpl

    readonly property bool isTitle: kind === "title"
    readonly property real gap: gapAbove ? 14 : 0
    readonly property real topPad: isTitle ? 14 : 0
    readonly property real bottomPad: cardEnd ? 14 : (isTitle ? 10 : 8)

    implicitHeight: gap + topPad + body.implicitHeight + bottomPad

    CardSlice {
        y: row.gap
        width: row.width
        height: row.height - row.gap
        roundTop: row.isTitle
        roundBottom: row.cardEnd
    }
    Loader {
        id: body
        x: 14
        y: row.gap + row.topPad
        width: row.width - 28
        sourceComponent: {
            switch (row.kind) {
            case "title": return titleRow
            case "member": return memberRow
            case "account": return accountRow
            case "source": return sourceRow
            case "resultHead": return resultHead
            case "result": return resultRow
            case "mirror": return mirrorRow
            }
            return null
        }
    }

    component Cell: Text {
        property int size: T.caption
        textFormat: Text.PlainText
        elide: Text.ElideRight
        maximumLineCount: 1
        color: T.text
        font.pixelSize: size
    }

    // qmllint disable unqualified
    // (The linter of Qt 6.4 does not see the file's ids inside a component.)
    Component {
        id: titleRow
        Cell {
            objectName: "cardTitle"
            text: row.title
            size: T.headline
            font.weight: T.headlineWeight
        }
    }
    Component {
        id: memberRow
        RowLayout {
            spacing: 10
            Cell { Layout.preferredWidth: 130; text: row.label; size: T.callout }
            ShareBar { frac: row.frac; color: T.role(row.tone) }
            Cell { Layout.preferredWidth: 44; horizontalAlignment: Text.AlignRight; text: row.share }
            Cell { Layout.preferredWidth: 70; horizontalAlignment: Text.AlignRight; text: row.money; color: T.textSecondary }
        }
    }
    Component {
        id: accountRow
        RowLayout {
            spacing: 10
            Cell { Layout.preferredWidth: 200; text: row.label; size: T.callout }
            ShareBar { frac: row.frac; color: T.role(row.tone) }
            Cell { Layout.preferredWidth: 44; horizontalAlignment: Text.AlignRight; text: row.share }
            // Both always take their width, so the bars line up whether a row has them or not.
            Cell { Layout.preferredWidth: 76; text: row.note; size: T.caption2; color: T.textTertiary }
            Cell {
                Layout.preferredWidth: 96
                horizontalAlignment: Text.AlignRight
                text: row.reset
                size: T.caption2
                color: T.textTertiary
            }
        }
    }
    Component {
        id: sourceRow
        RowLayout {
            spacing: 10
            Cell { Layout.preferredWidth: 130; text: row.label; size: T.callout }
            // Fixed widths whether shown or not, so the bars line up.
            Cell { Layout.preferredWidth: 60; text: row.note; size: T.caption2; color: T.textTertiary }
            Cell { Layout.preferredWidth: 44; text: row.note2; size: T.caption2; color: T.textTertiary }
            ShareBar { frac: row.frac; color: T.role(row.tone) }
            Cell { Layout.preferredWidth: 44; horizontalAlignment: Text.AlignRight; text: row.share }
            Cell { Layout.preferredWidth: 70; horizontalAlignment: Text.AlignRight; text: row.money; color: T.textSecondary }
        }
    }
    Component {
        id: resultHead
        RowLayout {
            spacing: 6
            Cell { Layout.preferredWidth: 20; text: "#"; size: T.caption2; color: T.textTertiary }
            Cell { Layout.preferredWidth: 130; text: "Сотрудник"; size: T.caption2; color: T.textTertiary }
            Cell { Layout.fillWidth: true; text: "Строки"; size: T.caption2; color: T.textTertiary }
            Cell { Layout.preferredWidth: 44; horizontalAlignment: Text.AlignRight; text: "Ком."; size: T.caption2; color: T.textTertiary }
            Cell { Layout.preferredWidth: 36; horizontalAlignment: Text.AlignRight; text: "PR"; size: T.caption2; color: T.textTertiary }
            Cell { Layout.preferredWidth: 60; horizontalAlignment: Text.AlignRight; text: "Accept"; size: T.caption2; color: T.textTertiary }
            Cell { Layout.preferredWidth: 60; horizontalAlignment: Text.AlignRight; text: "$/стр"; size: T.caption2; color: T.textTertiary }
            Cell { Layout.preferredWidth: 74; horizontalAlignment: Text.AlignRight; text: "Расход"; size: T.caption2; color: T.textTertiary }
        }
    }
    Component {
        id: resultRow
        RowLayout {
            spacing: 6
            Cell { Layout.preferredWidth: 20; text: row.pos; color: T.textTertiary }
            Cell { Layout.preferredWidth: 130; text: row.label }
            Cell { Layout.fillWidth: true; text: row.lines }
            Cell { Layout.preferredWidth: 44; horizontalAlignment: Text.AlignRight; text: row.commits; color: T.textSecondary }
            Cell { Layout.preferredWidth: 36; horizontalAlignment: Text.AlignRight; text: row.prs }
            Cell { Layout.preferredWidth: 60; horizontalAlignment: Text.AlignRight; text: row.accept }
            Cell { Layout.preferredWidth: 60; horizontalAlignment: Text.AlignRight; text: row.cpl }
            Cell { Layout.preferredWidth: 74; horizontalAlignment: Text.AlignRight; text: row.money }
        }
    }
    Component {
        id: mirrorRow
        RowLayout {
            spacing: 10
            Cell { Layout.preferredWidth: 180; text: row.label; size: T.callout }
            ShareBar { frac: row.frac; color: T.role(row.tone) }
            Cell { Layout.preferredWidth: 44; horizontalAlignment: Text.AlignRight; text: row.share }
            Cell { Layout.preferredWidth: 130; horizontalAlignment: Text.AlignRight; text: row.money; size: T.caption2; color: T.textSecondary }
        }
    }
    // qmllint enable unqualified
}

import QtQuick
import QtQuick.Layouts
import Corvane

// One limit gauge of a team account card: title, a 6 px bar (`frac` of it in the colour role
// `tone`), the percentage text and the countdown to the reset, all worked out by the card's model.
RowLayout {
    id: root
    property string title
    property string value
    property string tone: "accent"
    property real frac: 0
    property string countdown

    Layout.fillWidth: true
    spacing: 8

    CvText {
        Layout.preferredWidth: 52
        text: root.title
        elide: Text.ElideRight
        color: T.textSecondary
        role: CvText.Caption2
    }
    Item {
        Layout.fillWidth: true
        implicitHeight: 6
        Rectangle {
            anchors.fill: parent
            radius: 3
            color: T.surfaceRaised
        }
        Rectangle {
            objectName: "fill"
            width: parent.width * root.frac
            height: parent.height
            visible: width > 0
            radius: 3
            color: T.role(root.tone)
        }
    }
    CvText {
        objectName: "value"
        Layout.preferredWidth: 38
        horizontalAlignment: Text.AlignRight
        text: root.value
        role: CvText.Caption2
    }
    Text {
        id: countdown
        objectName: "countdown"
        // One line, as wide as the widest countdown ("через 23ч 59м"), so both gauges of a card
        // keep bars of one length whatever their countdowns read.
        Layout.preferredWidth: Math.max(52, Math.ceil(widest.advanceWidth) + 2)
        horizontalAlignment: Text.AlignHCenter
        text: root.countdown
        textFormat: Text.PlainText
        maximumLineCount: 1
        elide: Text.ElideRight
        color: T.textTertiary
        font.pixelSize: 10
        TextMetrics {
            id: widest
            font: countdown.font
            text: "через 23ч 59м"
        }
    }
}

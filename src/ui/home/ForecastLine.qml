import QtQuick
import QtQuick.Layouts
import Corvane

// The run-out line under a limit gauge, in the colour role `tone`; nothing shows while there is
// no estimate (no text).
CvText {
    property string tone: "textTertiary"
    property int indent: 0

    objectName: "forecast"
    Layout.fillWidth: true
    Layout.leftMargin: indent
    visible: text !== ""
    elide: Text.ElideRight
    color: T.role(tone)
    role: CvText.Caption2
}

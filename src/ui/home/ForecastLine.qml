import QtQuick
import QtQuick.Layouts
import Corvane

// The run-out line under a limit gauge: `line` is {text, tone} from Forecasts; nothing shows
// while there is no estimate.
CvText {
    property var line: ({})
    property int indent: 0

    objectName: "forecast"
    Layout.fillWidth: true
    Layout.leftMargin: indent
    visible: text !== ""
    text: line && line.text ? line.text : ""
    elide: Text.ElideRight
    color: T.role(line && line.tone ? line.tone : "textTertiary")
    role: CvText.Caption2
}

import QtQuick
import QtQuick.Layouts
import Corvane

// Store.error under a form, in the danger colour; absent while there is no message.
Text {
    objectName: "errorText"
    Layout.fillWidth: true
    visible: text !== ""
    text: Store.error
    textFormat: Text.PlainText
    wrapMode: Text.Wrap
    horizontalAlignment: Text.AlignHCenter
    color: T.danger
    font.pixelSize: T.callout
}

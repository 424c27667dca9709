import QtQuick
import QtQuick.Layouts
import Corvane

// Store.error under a form, in the danger colour; absent while there is no message.
CvText {
    objectName: "errorText"
    Layout.fillWidth: true
    visible: text !== ""
    text: Store.error
    wrapMode: Text.Wrap
    horizontalAlignment: Text.AlignHCenter
    color: T.danger
    role: CvText.Callout
}

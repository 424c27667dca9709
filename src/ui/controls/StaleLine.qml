import QtQuick
import Corvane

// One quiet line in the warning colour while what is shown is older than the server's: the
// newest load got no usable answer. Hidden while the data is current.
CvText {
    objectName: "staleLine"
    text: AcRules.staleLine(Store.serverLost, Store.dataAt)
    visible: text !== ""
    wrapMode: Text.WordWrap
    color: T.warn
    role: CvText.Caption
    Accessible.role: Accessible.StaticText
    Accessible.name: text
}

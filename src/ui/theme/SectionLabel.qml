import QtQuick
import Corvane

// The small upper-case heading over a group of rows.
Text {
    property string t

    text: t
    textFormat: Text.PlainText
    elide: Text.ElideRight
    color: T.textSecondary
    font.pixelSize: 11
    font.weight: Font.DemiBold
    font.capitalization: Font.AllUppercase
}

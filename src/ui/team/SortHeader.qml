import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// A column title of the accounts table: upper case, the current sort column in `text` with an
// accent arrow for its direction. Clicking (or Space/Enter) sorts by it.
Button {
    id: control
    property string key   // the column's name (object names)
    property int sort     // the column as Ac.Sort
    property string title
    property real w: 80
    property bool rightAligned: false
    readonly property bool current: Store.resources.sortKey === sort
    signal sortBy(int sort)

    objectName: "sort_" + key
    Layout.preferredWidth: w
    implicitWidth: w
    flat: true
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    padding: 0
    Accessible.name: title
    onClicked: control.sortBy(control.sort)

    contentItem: RowLayout {
        spacing: 3
        Item { visible: control.rightAligned; Layout.fillWidth: true }
        Text {
            Layout.maximumWidth: control.w - (control.current ? 12 : 0)
            text: control.title
            textFormat: Text.PlainText
            elide: Text.ElideRight
            maximumLineCount: 1
            color: control.current || control.hovered ? T.text : T.textTertiary
            font.pixelSize: 10
            font.weight: Font.Medium
            font.capitalization: Font.AllUppercase
        }
        Icon {
            objectName: "arrow"
            visible: control.current
            name: Store.resources.sortAsc ? "arrow.up" : "arrow.down"
            size: 9
            color: T.accent
        }
        Item { visible: !control.rightAligned; Layout.fillWidth: true }
    }
    background: Item {}
    FocusRing { cornerRadius: 4 }
}

import QtQuick
import QtQuick.Controls.Basic
import Corvane

// A multi-line text input two to four lines tall that scrolls beyond that, in the field style.
ScrollView {
    id: root
    property string text
    property string placeholder
    property string accessibleName
    signal edited(string text)

    readonly property real lineHeight: area.font.pixelSize * 1.45
    implicitHeight: Math.max(2 * lineHeight, Math.min(4 * lineHeight, area.contentHeight)) + area.topPadding
                    + area.bottomPadding
    clip: true

    background: Rectangle {
        radius: 10
        color: T.surfaceRaised
        border.width: 1
        border.color: area.activeFocus ? Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.6) : T.border
    }

    TextArea {
        id: area
        objectName: "noteInput"
        text: root.text
        placeholderText: root.placeholder
        placeholderTextColor: T.textTertiary
        wrapMode: TextEdit.Wrap
        leftPadding: 12
        rightPadding: 12
        topPadding: 9
        bottomPadding: 9
        color: T.text
        selectionColor: Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.45)
        font.pixelSize: 13
        background: null
        // Tab moves on to the next control rather than typing a tab.
        KeyNavigation.priority: KeyNavigation.BeforeItem
        Keys.onTabPressed: (event) => { nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason); event.accepted = true }
        Keys.onBacktabPressed: (event) => { nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason); event.accepted = true }
        Accessible.name: root.accessibleName
        onTextChanged: if (text !== root.text) root.edited(text)
    }
}

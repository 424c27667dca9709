import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The user's own accounts as cards, 12 px apart, or a placeholder while there are none.
Item {
    id: root
    property string icon
    property string title
    property string note
    readonly property var accounts: Store.home.accounts

    Placeholder {
        objectName: "ownPlaceholder"
        anchors.fill: parent
        visible: root.accounts.length === 0
        icon: root.icon
        title: root.title
        note: root.note
    }
    ListView {
        objectName: "ownCards"
        anchors.fill: parent
        visible: root.accounts.length > 0
        clip: true
        spacing: 12
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}
        model: root.accounts
        delegate: AccountCard {
            required property var modelData
            width: ListView.view.width
            a: modelData
        }
    }
}

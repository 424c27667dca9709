import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The top line of a section: bold title2 title and, when `refresh` is a function, a reload
// button that calls it.
Item {
    id: root
    property string title
    property var refresh: null
    readonly property bool refreshable: typeof refresh === "function"

    function trigger() {
        const action = root.refresh;
        if (typeof action === "function")
            action();
    }

    Layout.fillWidth: true
    implicitWidth: row.implicitWidth
    implicitHeight: row.implicitHeight + 4

    RowLayout {
        id: row
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        spacing: 8

        CvText {
            Layout.fillWidth: true
            text: root.title
            elide: Text.ElideRight
            role: CvText.Title2
            font.weight: Font.Bold
        }
        RefreshButton {
            objectName: "refreshButton"
            visible: root.refreshable
            onClicked: root.trigger()
        }
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// "‹ Назад" over the profile: closes it and returns to the selected section.
Button {
    id: control
    objectName: "backButton"
    Layout.alignment: Qt.AlignLeft
    flat: true
    hoverEnabled: true
    leftPadding: 0
    rightPadding: 6
    topPadding: 2
    bottomPadding: 2
    onClicked: Store.showProfile = false

    FocusRing { cornerRadius: 8 }

    contentItem: Row {
        spacing: 2
        Icon {
            anchors.verticalCenter: parent.verticalCenter
            name: "chevron.left"
            size: 16
            color: control.hovered ? T.text : T.textSecondary
        }
        CvText {
            anchors.verticalCenter: parent.verticalCenter
            text: "Назад"
            color: control.hovered ? T.text : T.textSecondary
            role: CvText.Body
        }
    }
    background: Item {}
}

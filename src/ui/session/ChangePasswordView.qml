import QtQuick
import QtQuick.Layouts
import Corvane

// First-login password: the new password twice, "Сохранить и продолжить". The Store checks
// the length and the repetition and reports in Store.error.
Rectangle {
    id: root
    objectName: "changePasswordView"
    color: T.bg
    property string p1: ""
    property string p2: ""

    function submit() {
        if (!Store.busy)
            Store.changePassword(root.p1, root.p2)
    }

    ColumnLayout {
        anchors.centerIn: parent
        width: 300
        spacing: 12

        FormTitle {
            Layout.bottomMargin: 8
            title: "Смени пароль"
            subtitle: "При первом входе задай свой пароль"
        }
        FieldStyle {
            objectName: "newPasswordField"
            Layout.fillWidth: true
            placeholderText: "Новый пароль (мин. 8)"
            secure: true
            focus: true
            onTextChanged: root.p1 = text
            onAccepted: root.submit()
            Component.onCompleted: forceActiveFocus()
        }
        FieldStyle {
            objectName: "repeatPasswordField"
            Layout.fillWidth: true
            placeholderText: "Повтори пароль"
            secure: true
            onTextChanged: root.p2 = text
            onAccepted: root.submit()
        }
        ErrorText {}
        AccentButton {
            objectName: "savePasswordButton"
            wide: true
            text: "Сохранить и продолжить"
            busy: Store.busy
            enabled: !Store.busy
            onClicked: root.submit()
        }
    }
}

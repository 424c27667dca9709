import QtQuick
import QtQuick.Layouts
import Corvane

// Sign-in: login and password, "Войти". Return in either field submits like the button;
// while a sign-in is in flight the button shows a spinner and ignores presses.
Rectangle {
    id: root
    objectName: "authView"
    color: T.bg
    property string login: ""
    property string pass: ""

    function submit() {
        if (!Store.busy)
            Store.signIn(root.login, root.pass)
    }

    ColumnLayout {
        anchors.centerIn: parent
        width: 300
        spacing: 12

        FormTitle {
            Layout.bottomMargin: 8
            title: "Corvane Team"
            subtitle: "Вход в систему"
            hint: "Логин и пароль выдаёт администратор."
        }
        FieldStyle {
            id: loginField
            objectName: "loginField"
            Layout.fillWidth: true
            placeholderText: "Логин"
            focus: true
            onTextChanged: root.login = text
            onAccepted: root.submit()
            Component.onCompleted: forceActiveFocus()
        }
        FieldStyle {
            objectName: "passwordField"
            Layout.fillWidth: true
            placeholderText: "Пароль"
            secure: true
            onTextChanged: root.pass = text
            onAccepted: root.submit()
        }
        ErrorText {}
        AccentButton {
            objectName: "signInButton"
            wide: true
            text: "Войти"
            busy: Store.busy
            enabled: !Store.busy
            onClicked: root.submit()
        }
    }
}

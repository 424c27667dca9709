import QtQuick
import QtQuick.Layouts
import Corvane

// Sign-in: login and password, "Войти". Return in either field submits like the button;
// while a sign-in is in flight the button shows a spinner and ignores presses. While start-up is
// still reading a saved session (the secret service may take a few seconds) a spinner stands in for
// the form, so a restored session does not flash the sign-in form first.
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

    Spinner {
        objectName: "restoringSpinner"
        anchors.centerIn: parent
        size: 22
        running: Store.restoring
    }

    ColumnLayout {
        anchors.centerIn: parent
        width: 300
        spacing: 12
        visible: !Store.restoring
        onVisibleChanged: if (visible) loginField.forceActiveFocus()

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

pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The user's own profile: the header card (photo, name, role, connection, version and update
// check, sign-out), then the "Профиль" and "Безопасность" tabs. The profile tab edits a draft
// (ProfileDraft) sent by "Сохранить профиль"; the security tab changes the password. The update
// check's result dialog belongs to the main window, so it also opens after the user left here.
ColumnLayout {
    id: root
    objectName: "profileView"
    spacing: 14

    readonly property alias draft: draft
    // The view's state, as ProfileDraft keeps it.
    readonly property string tab: draft.tab
    readonly property var tabs: draft.tabs
    readonly property bool saving: draft.saving
    readonly property string curPass: draft.curPass
    readonly property string newPass: draft.newPass
    readonly property string newPass2: draft.newPass2
    readonly property bool changingPass: draft.changingPass

    ProfileDraft {
        id: draft
    }
    Component.onCompleted: draft.shown()

    // Screenshot mode: the tab a picture is taken of.
    function showState(name) {
        if (name === "security" || name === "notifications")
            draft.tab = name
    }

    component Label2: CvText {
        elide: Text.ElideRight
        color: T.textSecondary
        role: CvText.Caption
    }

    // ---- header card
    Rectangle {
        Layout.fillWidth: true
        implicitHeight: head.implicitHeight + 36
        radius: 12
        color: T.surface
        border.width: 1
        border.color: T.border

        RowLayout {
            id: head
            anchors.fill: parent
            anchors.margins: 18
            spacing: 16

            AvatarPicker {
                Layout.alignment: Qt.AlignTop
                size: 64
                cameraSize: 24
                onPick: draft.pickAvatar()
                Avatar {
                    anchors.fill: parent
                    size: 64
                }
            }
            ColumnLayout {
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                spacing: 4
                CvText {
                    objectName: "profileName"
                    Layout.fillWidth: true
                    text: Store.name
                    elide: Text.ElideRight
                    role: CvText.LargeTitle
                    font.weight: Font.Bold
                }
                Label2 {
                    objectName: "loginText"
                    Layout.fillWidth: true
                    text: draft.loginText
                    role: CvText.Caption2
                    color: T.textTertiary
                }
                RowLayout {
                    Layout.fillWidth: true
                    Layout.topMargin: 2
                    spacing: 8
                    Rectangle {
                        objectName: "roleChip"
                        readonly property color tone: draft.roleAdmin ? T.accent : T.textSecondary
                        implicitWidth: roleText.implicitWidth + 16
                        implicitHeight: roleText.implicitHeight + 5
                        radius: height / 2
                        color: Qt.rgba(tone.r, tone.g, tone.b, 0.16)
                        CvText {
                            id: roleText
                            anchors.centerIn: parent
                            text: draft.roleText
                            color: parent.tone
                            role: CvText.Caption2
                            font.weight: Font.DemiBold
                        }
                    }
                    Label2 {
                        objectName: "specText"
                        Layout.maximumWidth: implicitWidth
                        Layout.fillWidth: true
                        visible: draft.specText !== ""
                        text: draft.specText
                    }
                    Label2 {
                        objectName: "deptText"
                        Layout.maximumWidth: implicitWidth
                        Layout.fillWidth: true
                        visible: draft.deptText !== ""
                        text: draft.deptText
                        color: T.textTertiary
                    }
                    Item { Layout.fillWidth: true }
                }
            }
            ColumnLayout {
                Layout.alignment: Qt.AlignTop | Qt.AlignRight
                spacing: 6
                Label2 {
                    objectName: "telemetryText"
                    Layout.alignment: Qt.AlignRight
                    text: draft.telemetryText
                    color: draft.telemetryOk ? T.ok : T.warn
                }
                RowLayout {
                    Layout.alignment: Qt.AlignRight
                    spacing: 5
                    Icon {
                        name: "server.rack"
                        size: 12
                        color: T.textTertiary
                    }
                    Label2 {
                        objectName: "serverText"
                        Layout.maximumWidth: 260
                        text: draft.serverText
                    }
                }
                RowLayout {
                    Layout.alignment: Qt.AlignRight
                    spacing: 8
                    Label2 {
                        objectName: "versionText"
                        text: draft.versionText
                        color: T.textTertiary
                    }
                    Spinner {
                        running: AppUpdater.checking
                        size: 12
                    }
                    GhostButton {
                        objectName: "checkUpdatesButton"
                        text: "Проверить обновления"
                        font.pixelSize: T.caption
                        topPadding: 5
                        bottomPadding: 5
                        leftPadding: 10
                        rightPadding: 10
                        enabled: !AppUpdater.checking
                        onClicked: AppUpdater.checkForUpdates()
                    }
                }
                GhostButton {
                    objectName: "logoutButton"
                    Layout.alignment: Qt.AlignRight
                    symbol: "rectangle.portrait.and.arrow.right"
                    text: "Выйти"
                    textColor: T.danger
                    font.pixelSize: T.caption
                    topPadding: 5
                    bottomPadding: 5
                    leftPadding: 10
                    rightPadding: 10
                    ToolTip.text: "Выйти из аккаунта"
                    ToolTip.visible: hovered
                    ToolTip.delay: 500
                    onClicked: draft.logOut()
                }
            }
        }
    }

    // ---- tabs
    Row {
        id: tabRow
        spacing: 4
        Repeater {
            model: draft.tabs
            delegate: Button {
                id: tabButton
                required property var modelData
                required property int index
                readonly property bool selected: draft.tab === modelData.key
                objectName: "tab_" + modelData.key
                text: modelData.label
                flat: true
                hoverEnabled: true
                // One stop for the row on Tab: the selected tab; arrows move between them.
                activeFocusOnTab: selected
                leftPadding: 14
                rightPadding: 14
                topPadding: 6
                bottomPadding: 6
                onClicked: draft.tab = modelData.key
                // Arrows move between the tabs.
                Keys.onLeftPressed: { draft.tab = draft.tabs[Math.max(0, index - 1)].key; tabRow.focusSelected() }
                Keys.onRightPressed: { draft.tab = draft.tabs[Math.min(draft.tabs.length - 1, index + 1)].key; tabRow.focusSelected() }
                contentItem: CvText {
                    text: tabButton.text
                    color: tabButton.selected || tabButton.hovered ? T.text : T.textSecondary
                    role: CvText.Callout
                    font.weight: tabButton.selected ? Font.DemiBold : Font.Normal
                }
                background: Rectangle {
                    radius: 8
                    color: tabButton.selected ? T.surfaceRaised : "transparent"
                }
                FocusRing {
                    inset: 1
                    cornerRadius: 8
                }
            }
        }
        function focusSelected() {
            for (let i = 0; i < children.length; ++i)
                if (children[i].selected)
                    children[i].forceActiveFocus(Qt.TabFocusReason)
        }
    }

    // ---- the tab's card
    Rectangle {
        Layout.fillWidth: true
        Layout.fillHeight: true
        radius: 12
        color: T.surface
        border.width: 1
        border.color: T.border

        ScrollView {
            id: scroll
            anchors.fill: parent
            anchors.margins: 1
            clip: true
            contentWidth: availableWidth

            ColumnLayout {
                width: scroll.availableWidth
                spacing: 14

                CvText {
                    objectName: "cardTitle"
                    Layout.fillWidth: true
                    Layout.leftMargin: 18
                    Layout.topMargin: 16
                    text: draft.cardTitle
                    role: CvText.Headline
                }
                // The three tabs are made once and the selected one shown: a Loader of Components
                // (Qt 6.4) cannot make the components of a file bound by pragma ComponentBehavior.
                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.leftMargin: 18
                    Layout.rightMargin: 18
                    Layout.bottomMargin: 18
                    visible: root.draft.tab !== "security" && root.draft.tab !== "notifications"
                    objectName: "profileTab"
                    spacing: 14
                    Keys.onReturnPressed: draft.save()
                    Keys.onEnterPressed: draft.save()

                    ProfileFields {
                        Layout.fillWidth: true
                        draft: root.draft
                        noteLabel: "О себе"
                        notePlaceholder: "Заметка"
                    }
                    AccentButton {
                        objectName: "saveProfileButton"
                        Layout.alignment: Qt.AlignRight
                        text: "Сохранить профиль"
                        busy: draft.saving
                        enabled: !draft.saving
                        onClicked: draft.save()
                    }
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.leftMargin: 18
                    Layout.rightMargin: 18
                    Layout.bottomMargin: 18
                    visible: root.draft.tab === "security"
                    // As wide as the card although its fields stop at 420 px: the button sits on the right.
                    Layout.maximumWidth: Infinity
                    objectName: "securityTab"
                    spacing: 14
                    Keys.onReturnPressed: draft.changePassword()
                    Keys.onEnterPressed: draft.changePassword()

                    CvText {
                        text: "Минимум 8 символов."
                        color: T.textTertiary
                        role: CvText.Caption
                    }
                    LabeledField {
                        Layout.fillWidth: true
                        Layout.maximumWidth: 420
                        label: "Текущий"
                        FieldStyle {
                            objectName: "curPassInput"
                            Layout.fillWidth: true
                            secure: true
                            text: draft.curPass
                            Accessible.name: "Текущий пароль"
                            onTextEdited: draft.curPass = text
                        }
                    }
                    LabeledField {
                        Layout.fillWidth: true
                        Layout.maximumWidth: 420
                        label: "Новый"
                        FieldStyle {
                            objectName: "newPassInput"
                            Layout.fillWidth: true
                            secure: true
                            text: draft.newPass
                            Accessible.name: "Новый пароль"
                            onTextEdited: draft.newPass = text
                        }
                    }
                    LabeledField {
                        Layout.fillWidth: true
                        Layout.maximumWidth: 420
                        label: "Повтор"
                        FieldStyle {
                            objectName: "newPass2Input"
                            Layout.fillWidth: true
                            secure: true
                            text: draft.newPass2
                            Accessible.name: "Повтор пароля"
                            onTextEdited: draft.newPass2 = text
                        }
                    }
                    AccentButton {
                        objectName: "changePasswordButton"
                        Layout.alignment: Qt.AlignRight
                        text: "Сменить пароль"
                        busy: draft.changingPass
                        enabled: draft.canChangePassword
                        onClicked: draft.changePassword()
                    }
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.leftMargin: 18
                    Layout.rightMargin: 18
                    Layout.bottomMargin: 18
                    visible: root.draft.tab === "notifications"
                    objectName: "notificationsTab"
                    spacing: 14
                    ToggleRow {
                        objectName: "autostartSwitch"
                        text: "Запускать при входе в систему"
                        checked: Autostart.enabled
                        onToggled: Autostart.enabled = checked
                    }
                    Divider {}
                    SectionLabel { t: "Уведомления" }
                    ToggleRow {
                        objectName: "notifyThresholds"
                        text: "Лимит израсходован на 80% и 95%"
                        note: "Один раз за окно: 5 часов и 7 дней"
                        checked: Notifier.thresholds
                        onToggled: Notifier.thresholds = checked
                    }
                    ToggleRow {
                        objectName: "notifyRunOut"
                        text: "Лимит закончится в ближайшие 30 минут"
                        note: "По темпу расхода за последний час"
                        checked: Notifier.runOut
                        onToggled: Notifier.runOut = checked
                    }
                    ToggleRow {
                        objectName: "notifyReset"
                        text: "Лимит сброшен"
                        note: "Когда окно, израсходованное на 80%, начинается заново"
                        checked: Notifier.reset
                        onToggled: Notifier.reset = checked
                    }
                    ToggleRow {
                        objectName: "notifyTeam"
                        visible: Store.isAdmin
                        text: "Критичные аккаунты команды"
                        note: "То же для аккаунтов команды с 7д ≥90%"
                        checked: Notifier.team
                        onToggled: Notifier.team = checked
                    }
                }
            }
        }
    }
}

pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// One member's profile (body of its sheet): the member as opened in the header and the tiles,
// the editable fields below, "Удалить" (after the screen's confirmation), "Отмена" and
// "Сохранить". The draft copies the member when the sheet opens; a roster reload does not touch
// it. Enter saves.
FocusScope {
    id: sheet
    objectName: "memberProfile"
    focus: true
    property RosterView roster
    readonly property alias draft: draft

    MemberEditDraft {
        id: draft
        onFinished: sheet.roster.editing = null
    }
    Component.onCompleted: draft.member = sheet.roster.editing
    Component.onDestruction: draft.close()
    Keys.onReturnPressed: draft.submit()
    Keys.onEnterPressed: draft.submit()

    component Caption: CvText {
        elide: Text.ElideRight
        color: T.textSecondary
        role: CvText.Caption
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // ---- header
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 12
            Layout.topMargin: 16
            Layout.bottomMargin: 14
            spacing: 14
            AvatarPicker {
                size: 56
                cameraSize: 22
                onPick: draft.pickAvatar()
                MemberAvatar {
                    anchors.fill: parent
                    size: 56
                    member: draft.member
                    memberId: draft.memberId
                    initials: draft.member.initials
                }
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 3
                CvText {
                    objectName: "profileTitle"
                    Layout.fillWidth: true
                    text: draft.title
                    elide: Text.ElideRight
                    role: CvText.Title2
                    font.weight: Font.Bold
                }
                RowLayout {
                    spacing: 10
                    Caption {
                        text: draft.loginText
                    }
                    Caption {
                        objectName: "presence"
                        text: draft.presence
                        color: draft.online ? T.ok : T.textTertiary
                    }
                }
            }
            IconButton {
                objectName: "closeButton"
                Layout.alignment: Qt.AlignTop
                symbol: "xmark"
                symbolSize: 15
                tip: "Закрыть"
                Accessible.name: "Отмена"
                onClicked: sheet.roster.editing = null
            }
        }
        Divider {}

        // ---- body
        ScrollView {
            id: scroll
            focus: true
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            contentWidth: availableWidth

            ColumnLayout {
                width: scroll.availableWidth
                spacing: 14

                Item { implicitHeight: 6 }
                // A positioner holds the tiles, which follow every roster reload (see DevicesColumn).
                Row {
                    id: memberTiles
                    Layout.fillWidth: true
                    Layout.leftMargin: 20
                    Layout.rightMargin: 20
                    spacing: 8
                    Repeater {
                        model: draft.tiles
                        delegate: Rectangle {
                            id: tileBox
                            required property var modelData
                            width: (memberTiles.width - (draft.tiles.length - 1) * memberTiles.spacing) / Math.max(1, draft.tiles.length)
                            implicitHeight: tile.implicitHeight + 16
                            radius: 10
                            color: T.surface
                            border.width: 1
                            border.color: T.border
                            ColumnLayout {
                                id: tile
                                anchors.fill: parent
                                anchors.margins: 8
                                anchors.leftMargin: 10
                                spacing: 2
                                Caption {
                                    Layout.fillWidth: true
                                    text: tileBox.modelData.title
                                    color: T.textTertiary
                                    role: CvText.Caption2
                                }
                                CvText {
                                    objectName: "tileValue"
                                    Layout.fillWidth: true
                                    text: tileBox.modelData.value
                                    elide: Text.ElideRight
                                    role: CvText.Callout
                                    font.weight: Font.DemiBold
                                }
                            }
                        }
                    }
                }
                ProfileFields {
                    Layout.fillWidth: true
                    Layout.leftMargin: 20
                    Layout.rightMargin: 20
                    draft: sheet.draft
                    nameFocus: true
                    noteLabel: "Заметка"
                    notePlaceholder: "Заметка администратора"
                    sinceField: LabeledField {
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        label: "В команде с"
                        JoinedDateField {
                            objectName: "joinedField"
                            Layout.fillWidth: true
                            year: draft.joinedYear
                            month: draft.joinedMonth
                            day: draft.joinedDay
                            dateText: draft.joinedText
                            accessibleName: "В команде с"
                            onPicked: (y, m, d) => draft.pickJoinedDay(y, m, d)
                        }
                    }

                    LabeledField {
                        Layout.columnSpan: 2
                        Layout.fillWidth: true
                        label: "Тип"
                        Seg {
                            objectName: "typeSeg"
                            items: Forms.typeOptions
                            sel: draft.type
                            onPicked: (key) => draft.type = key
                        }
                    }
                    LabeledField {
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        label: "Роль доступа"
                        Seg {
                            objectName: "roleSeg"
                            items: Forms.roleOptions
                            sel: draft.role
                            onPicked: (key) => draft.role = key
                        }
                    }
                    LabeledField {
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        label: "Доступ"
                        Switch {
                            id: activeSwitch
                            objectName: "activeSwitch"
                            text: "Активен"
                            checked: draft.active
                            onToggled: draft.active = checked
                            padding: 0
                            Accessible.name: "Активен"
                            indicator: Rectangle {
                                implicitWidth: 34
                                implicitHeight: 20
                                x: activeSwitch.leftPadding
                                y: (activeSwitch.height - height) / 2
                                radius: 10
                                color: activeSwitch.checked ? T.accent : T.surfaceRaised
                                border.width: 1
                                border.color: T.border
                                FocusRing {
                                    control: activeSwitch
                                    cornerRadius: 10
                                }
                                Rectangle {
                                    x: activeSwitch.checked ? parent.width - width - 3 : 3
                                    y: 3
                                    width: 14
                                    height: 14
                                    radius: 7
                                    color: "white"
                                }
                            }
                            contentItem: Text {
                                leftPadding: activeSwitch.indicator.width + 8
                                text: activeSwitch.text
                                textFormat: Text.PlainText
                                verticalAlignment: Text.AlignVCenter
                                color: T.text
                                font.pixelSize: 13
                            }
                        }
                    }
                }
                GhostButton {
                    objectName: "resetPasswordButton"
                    Layout.leftMargin: 20
                    text: "Сбросить пароль"
                    onClicked: sheet.roster.askReset(draft.member)
                }
                Item { implicitHeight: 6 }
            }
        }

        Divider {}
        // ---- footer
        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 16
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            spacing: 8
            DangerButton {
                objectName: "deleteButton"
                quiet: true
                text: "Удалить"
                onClicked: sheet.roster.askDelete(draft.member)
            }
            Item { Layout.fillWidth: true }
            GhostButton {
                objectName: "cancelButton"
                text: "Отмена"
                onClicked: sheet.roster.editing = null
            }
            AccentButton {
                objectName: "saveButton"
                text: "Сохранить"
                busy: draft.saving
                enabled: !draft.saving
                onClicked: draft.submit()
            }
        }
    }
}

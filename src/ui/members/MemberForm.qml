import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The new-member form (body of its sheet). A fresh NewMemberDraft per opening; Enter creates
// when "Создать" is enabled.
FocusScope {
    id: form
    objectName: "memberForm"
    focus: true
    readonly property alias draft: draft

    NewMemberDraft {
        id: draft
    }
    Component.onDestruction: draft.close()
    Keys.onReturnPressed: draft.submit()
    Keys.onEnterPressed: draft.submit()

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        SheetHeader {
            Layout.fillWidth: true
            title: "Новый сотрудник"
            onCloseRequested: Store.roster.formOpen = false
        }
        GridLayout {
            Layout.fillWidth: true
            Layout.margins: 20
            columns: 2
            rowSpacing: 14
            columnSpacing: 12

            LabeledField {
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                label: "Имя"
                FieldStyle {
                    objectName: "nameInput"
                    Layout.fillWidth: true
                    focus: true
                    placeholderText: "Имя Фамилия"
                    text: draft.name
                    Accessible.name: "Имя"
                    onTextEdited: draft.name = text
                }
            }
            LabeledField {
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                label: "Логин"
                FieldStyle {
                    objectName: "loginInput"
                    Layout.fillWidth: true
                    placeholderText: "авто из имени"
                    text: draft.login
                    Accessible.name: "Логин"
                    onTextEdited: draft.login = text
                }
            }
            LabeledField {
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                label: "Специализация"
                PresetField {
                    objectName: "specField"
                    Layout.fillWidth: true
                    placeholder: "напр. Разработчик"
                    accessibleName: "Специализация"
                    text: draft.spec
                    onEdited: (text) => draft.spec = text
                }
            }
            LabeledField {
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                label: "Отдел"
                FieldStyle {
                    objectName: "deptInput"
                    Layout.fillWidth: true
                    placeholderText: "напр. Backend"
                    text: draft.dept
                    Accessible.name: "Отдел"
                    onTextEdited: draft.dept = text
                }
            }
            // The two switches share a row by their own widths: the type labels are the longer.
            RowLayout {
                Layout.columnSpan: 2
                Layout.fillWidth: true
                spacing: 24
                LabeledField {
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
                    label: "Тип"
                    Seg {
                        objectName: "typeSeg"
                        items: Forms.typeOptions
                        sel: draft.type
                        onPicked: (key) => draft.type = key
                    }
                }
            }
        }
        Item { Layout.fillHeight: true }
        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 20
            spacing: 8
            Item { Layout.fillWidth: true }
            GhostButton {
                objectName: "cancelButton"
                text: "Отмена"
                onClicked: Store.roster.formOpen = false
            }
            AccentButton {
                objectName: "createButton"
                text: "Создать"
                busy: draft.saving
                enabled: draft.canCreate
                onClicked: draft.submit()
            }
        }
    }
}

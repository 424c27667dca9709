import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as QT
import QtQuick.Layouts
import Corvane

// The sheet that adds a registry entry or edits one: 540 × 640, modal, closed by "xmark",
// "Отмена" or Escape (not by a click outside). The fields, the choices, what may be saved and the
// body belong to the AccountFormState object; this lays them out.
Dialog {
    id: dialog
    objectName: "accountForm"
    readonly property alias form: f

    parent: QT.Overlay.overlay
    anchors.centerIn: parent
    width: 540
    height: 640
    modal: true
    closePolicy: Popup.CloseOnEscape
    padding: 0

    AccountFormState {
        id: f
    }
    Component.onCompleted: {
        f.open();
        dialog.open();
    }
    onOpened: emailField.enabled ? emailField.forceActiveFocus() : groupField.forceActiveFocus()
    // Escape closes the popup; the form is then closed in Store too.
    onClosed: if (Store.resources.formOpen) f.cancel()

    background: Rectangle {
        radius: 12
        color: T.surface
        border.width: 1
        border.color: T.border
    }

    header: ColumnLayout {
        spacing: 0
        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 16
            Layout.bottomMargin: 12
            CvText {
                objectName: "formTitle"
                text: f.title
                role: CvText.Title3
                font.weight: Font.Bold
            }
            Item { Layout.fillWidth: true }
            IconButton {
                objectName: "closeForm"
                symbol: "xmark"
                Accessible.name: "Отмена"
                tip: "Отмена"
                onClicked: f.cancel()
            }
        }
        Divider {}
    }

    contentItem: ScrollView {
        id: scroll
        clip: true
        contentWidth: availableWidth
        // Enter in any one-line field saves, as "Сохранить" would.
        Keys.onReturnPressed: if (f.canSave) f.save()
        Keys.onEnterPressed: if (f.canSave) f.save()

        ColumnLayout {
            width: scroll.availableWidth - 32
            x: 16
            spacing: 12

            Item { implicitHeight: 4 }
            LabeledField {
                Layout.fillWidth: true
                label: "Email"
                FieldStyle {
                    id: emailField
                    objectName: "emailField"
                    Layout.fillWidth: true
                    placeholderText: "name@company.com"
                    Accessible.name: "Email"
                    enabled: !f.editing
                    opacity: f.editing ? 0.6 : 1
                    text: f.email
                    onTextEdited: f.email = text
                }
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: 12
                LabeledField {
                    Layout.fillWidth: true
                    label: "Провайдер"
                    Picker {
                        objectName: "providerPicker"
                        Layout.fillWidth: true
                        Accessible.name: "Провайдер"
                        model: f.providers
                        textRole: "label"
                        currentIndex: f.providerIndex
                        onActivated: function(i) { f.provider = f.providers[i].key }
                    }
                }
                LabeledField {
                    label: "Статус"
                    Seg {
                        objectName: "statusSeg"
                        items: f.statuses
                        sel: f.status
                        onPicked: function(key) { f.status = key }
                    }
                }
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: 12
                LabeledField {
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    label: "Группа"
                    FieldStyle {
                        id: groupField
                        objectName: "groupField"
                        Layout.fillWidth: true
                        placeholderText: "DEV / OPS / QA…"
                        Accessible.name: "Группа"
                        text: f.group
                        onTextEdited: f.group = text
                    }
                }
                LabeledField {
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    label: "Сотрудник (владелец)"
                    Picker {
                        objectName: "ownerPicker"
                        Layout.fillWidth: true
                        Accessible.name: "Сотрудник (владелец)"
                        model: f.ownerOptions
                        textRole: "label"
                        currentIndex: f.ownerIndex
                        onActivated: function(i) { f.owner = f.ownerOptions[i].value }
                    }
                }
            }
            LabeledField {
                label: "Авторизация"
                Seg {
                    objectName: "authSeg"
                    items: f.authTypes
                    sel: f.authType
                    onPicked: function(key) { f.authType = key }
                }
            }
            ColumnLayout {
                objectName: "keyFields"
                Layout.fillWidth: true
                visible: f.showKeyFields
                spacing: 12
                LabeledField {
                    Layout.fillWidth: true
                    label: "API-ключ (пусто = оставить текущий)"
                    FieldStyle {
                        objectName: "apiKeyField"
                        Layout.fillWidth: true
                        secure: true
                        placeholderText: "sk-…"
                        Accessible.name: "API-ключ"
                        text: f.apiKey
                        onTextEdited: f.apiKey = text
                    }
                }
                RowLayout {
                    Layout.fillWidth: true
                    spacing: 12
                    LabeledField {
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        label: "cc_provider"
                        FieldStyle {
                            objectName: "ccProviderField"
                            Layout.fillWidth: true
                            placeholderText: "zai / openrouter…"
                            Accessible.name: "cc_provider"
                            text: f.ccProvider
                            onTextEdited: f.ccProvider = text
                        }
                    }
                    LabeledField {
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        label: "Модель"
                        FieldStyle {
                            objectName: "modelField"
                            Layout.fillWidth: true
                            placeholderText: "glm-5.2…"
                            Accessible.name: "Модель"
                            text: f.model
                            onTextEdited: f.model = text
                        }
                    }
                }
                LabeledField {
                    Layout.fillWidth: true
                    label: "base_url"
                    FieldStyle {
                        objectName: "baseUrlField"
                        Layout.fillWidth: true
                        placeholderText: "https://…"
                        Accessible.name: "base_url"
                        text: f.baseUrl
                        onTextEdited: f.baseUrl = text
                    }
                }
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: 12
                LabeledField {
                    Layout.fillWidth: true
                    label: "План"
                    FieldStyle {
                        objectName: "planField"
                        Layout.fillWidth: true
                        placeholderText: "Max / Pro…"
                        Accessible.name: "План"
                        text: f.plan
                        onTextEdited: f.plan = text
                    }
                }
                LabeledField {
                    Layout.preferredWidth: 110
                    label: "Цена"
                    FieldStyle {
                        id: priceField
                        objectName: "priceField"
                        Layout.fillWidth: true
                        placeholderText: "200"
                        Accessible.name: "Цена"
                        text: f.price
                        onTextEdited: f.price = text
                        background: Rectangle {
                            implicitWidth: 80
                            radius: 10
                            color: T.surfaceRaised
                            border.width: 1
                            border.color: !f.priceValid ? T.danger
                                        : priceField.activeFocus ? Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.6) : T.border
                        }
                    }
                }
                LabeledField {
                    Layout.preferredWidth: 80
                    label: "Валюта"
                    FieldStyle {
                        objectName: "currencyField"
                        Layout.fillWidth: true
                        placeholderText: "USD"
                        Accessible.name: "Валюта"
                        text: f.currency
                        onTextEdited: f.currency = text
                    }
                }
            }
            CvText {
                objectName: "priceProblem"
                Layout.fillWidth: true
                visible: text !== ""
                text: f.priceProblem
                wrapMode: Text.Wrap
                color: T.danger
                role: CvText.Caption
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: 12
                LabeledField {
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    label: "Оплата"
                    FieldStyle {
                        objectName: "payField"
                        Layout.fillWidth: true
                        placeholderText: "карта / …"
                        Accessible.name: "Оплата"
                        text: f.payMethod
                        onTextEdited: f.payMethod = text
                    }
                }
                LabeledField {
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    label: "Продление (YYYY-MM-DD)"
                    FieldStyle {
                        objectName: "renewField"
                        Layout.fillWidth: true
                        placeholderText: "2026-04-15"
                        Accessible.name: "Продление"
                        text: f.renew
                        onTextEdited: f.renew = text
                    }
                }
            }
            LabeledField {
                Layout.fillWidth: true
                label: "Заметки"
                FieldStyle {
                    objectName: "notesField"
                    Layout.fillWidth: true
                    Accessible.name: "Заметки"
                    text: f.notes
                    onTextEdited: f.notes = text
                }
            }
            Item { implicitHeight: 8 }
        }
    }

    footer: ColumnLayout {
        spacing: 0
        Divider {}
        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 16
            spacing: 8
            Item { Layout.fillWidth: true }
            GhostButton {
                objectName: "cancelForm"
                text: "Отмена"
                Accessible.name: text
                onClicked: f.cancel()
            }
            AccentButton {
                objectName: "saveForm"
                text: "Сохранить"
                Accessible.name: text
                busy: f.saving
                enabled: f.canSave
                onClicked: f.save()
            }
        }
    }
}

import QtQuick
import QtQuick.Layouts
import Corvane

// The fields of a person's profile, as the user edits their own and an administrator a member's:
// name, specialisation and department, then whatever the screen declares inside (the member's
// type, role and access), the contacts, the time zone (beside `sinceField`, the member's start
// date, where there is one) and the note. `draft` is the screen's draft (ProfileDraft,
// MemberEditDraft): both carry these fields under the same names, and the fields write to it.
GridLayout {
    id: root
    property var draft
    property string noteLabel
    property string notePlaceholder
    property bool nameFocus: false
    property Item sinceField: null

    columns: 2
    rowSpacing: 14
    columnSpacing: 12

    component Half: LabeledField {
        Layout.fillWidth: true
        Layout.preferredWidth: 1
    }
    component Whole: LabeledField {
        Layout.columnSpan: 2
        Layout.fillWidth: true
    }

    // The fields the screen declares inside come after the department, in the grid and in the Tab
    // order, so once all are made the later fields move behind them, `sinceField` before the zone:
    // one grid, whose columns follow every row (the specialisation's preset button widens the first).
    Component.onCompleted: {
        for (const field of [email, telegram, root.sinceField, zone, note]) {
            if (!field)
                continue
            field.parent = null
            field.parent = root
        }
    }

    Whole {
        label: "Имя"
        FieldStyle {
            objectName: "nameInput"
            Layout.fillWidth: true
            focus: root.nameFocus
            placeholderText: "Имя Фамилия"
            text: root.draft.name
            Accessible.name: "Имя"
            onTextEdited: root.draft.name = text
        }
    }
    Half {
        label: "Специализация"
        PresetField {
            objectName: "specField"
            Layout.fillWidth: true
            placeholder: "напр. Разработчик"
            accessibleName: "Специализация"
            text: root.draft.spec
            onEdited: (text) => root.draft.spec = text
        }
    }
    Half {
        label: "Отдел"
        FieldStyle {
            objectName: "deptInput"
            Layout.fillWidth: true
            placeholderText: "напр. Backend"
            text: root.draft.dept
            Accessible.name: "Отдел"
            onTextEdited: root.draft.dept = text
        }
    }
    Half {
        id: email
        label: "Email"
        FieldStyle {
            objectName: "emailInput"
            Layout.fillWidth: true
            placeholderText: "name@company.com"
            text: root.draft.email
            Accessible.name: "Email"
            onTextEdited: root.draft.email = text
        }
    }
    Half {
        id: telegram
        label: "Telegram"
        FieldStyle {
            objectName: "telegramInput"
            Layout.fillWidth: true
            placeholderText: "@username"
            text: root.draft.telegram
            Accessible.name: "Telegram"
            onTextEdited: root.draft.telegram = text
        }
    }
    LabeledField {
        id: zone
        Layout.columnSpan: root.sinceField !== null ? 1 : 2
        Layout.fillWidth: true
        Layout.preferredWidth: 1
        label: "Часовой пояс"
        FieldStyle {
            objectName: "timezoneInput"
            Layout.fillWidth: true
            placeholderText: "Europe/Moscow"
            text: root.draft.timezone
            Accessible.name: "Часовой пояс"
            onTextEdited: root.draft.timezone = text
        }
    }
    Whole {
        id: note
        label: root.noteLabel
        NoteField {
            objectName: "noteField"
            Layout.fillWidth: true
            placeholder: root.notePlaceholder
            accessibleName: root.noteLabel
            text: root.draft.note
            onEdited: (text) => root.draft.note = text
        }
    }
}

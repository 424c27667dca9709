import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The team roster: header with the member count and the add and reload actions, the filter row
// (type, department, sort, search), the member cards, and the sheets and the confirmation that
// administer members. Filters and sort live in Store, so they survive leaving the section.
ColumnLayout {
    id: root
    objectName: "teamView"
    spacing: 14

    readonly property alias roster: rosterView
    readonly property alias list: list
    // The view's own state, as RosterView keeps it.
    readonly property var pendingDelete: rosterView.pendingDelete
    readonly property var editing: rosterView.editing
    readonly property var sortOptions: rosterView.sortOptions

    RosterView {
        id: rosterView
    }
    Component.onCompleted: rosterView.shown()

    // Screenshot mode: opens the sheet a picture is taken of.
    function showState(name) {
        if (name === "new")
            rosterView.addMember()
        else if (name === "member" && rosterView.model.count > 0)
            rosterView.open(rosterView.memberAt(0))
    }

    // ---- header
    RowLayout {
        Layout.fillWidth: true
        spacing: 10
        Text {
            text: "Команда"
            textFormat: Text.PlainText
            color: T.text
            font.pixelSize: T.largeTitle
            font.bold: true
        }
        Text {
            objectName: "memberCount"
            Layout.alignment: Qt.AlignBaseline
            text: String(rosterView.memberCount)
            textFormat: Text.PlainText
            color: T.textTertiary
            font.pixelSize: T.caption
        }
        Item { Layout.fillWidth: true }
        GhostButton {
            objectName: "addMemberButton"
            symbol: "plus"
            text: "Сотрудник"
            onClicked: rosterView.addMember()
        }
        RefreshButton {
            objectName: "reloadButton"
            onClicked: rosterView.reload()
        }
    }

    // ---- filter row
    RowLayout {
        Layout.fillWidth: true
        spacing: 10
        Seg {
            objectName: "typeSeg"
            items: rosterView.typeOptions
            sel: Store.roster.type
            onPicked: (key) => rosterView.chooseType(key)
        }
        ListView {
            id: chips
            objectName: "deptChips"
            Layout.fillWidth: true
            implicitHeight: 26
            visible: rosterView.deptChipsVisible
            orientation: ListView.Horizontal
            spacing: 6
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            model: rosterView.deptChips
            // qmllint disable unqualified
            // (The linter of Qt 6.4 does not see the file's ids inside a delegate.)
            delegate: FilterChip {
                id: chip
                required property var modelData
                objectName: "dept_" + chip.modelData.key
                title: chip.modelData.title
                count: chip.modelData.count
                active: chip.modelData.active
                Accessible.name: chip.modelData.title
                onTap: rosterView.chooseDept(chip.modelData.key)
            }
            // qmllint enable unqualified
        }
        Item {
            Layout.fillWidth: true
            visible: !chips.visible
        }
        SortButton {
            objectName: "sortButton"
            options: rosterView.sortOptions
            onChosen: (key) => rosterView.chooseSort(key)
        }
        SearchField {
            objectName: "searchField"
            Layout.preferredWidth: 240
            Layout.maximumWidth: 240
            text: Store.roster.query
            onEdited: (text) => Store.roster.query = text
        }
    }

    // ---- content
    Item {
        Layout.fillWidth: true
        Layout.fillHeight: true

        Spinner {
            anchors.centerIn: parent
            size: 22
            running: rosterView.contentCase === "loading"
        }
        Placeholder {
            objectName: "emptyPlaceholder"
            anchors.fill: parent
            visible: rosterView.contentCase === "empty"
            icon: "person.3"
            title: "Нет сотрудников"
            note: "Добавь через «+ Сотрудник»."
        }
        Placeholder {
            objectName: "noMatchPlaceholder"
            anchors.fill: parent
            visible: rosterView.contentCase === "nomatch"
            icon: "line.3.horizontal.decrease.circle"
            title: "Ничего не найдено"
            note: "Смени фильтр или поиск."
        }
        ListView {
            id: list
            objectName: "memberList"
            anchors.fill: parent
            visible: rosterView.contentCase === "list"
            model: rosterView.model
            spacing: 8
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            activeFocusOnTab: true
            keyNavigationEnabled: true
            currentIndex: 0
            Accessible.name: "Сотрудники"
            ScrollBar.vertical: ScrollBar {}
            Keys.onReturnPressed: rosterView.open(rosterView.memberAt(list.currentIndex))
            Keys.onEnterPressed: rosterView.open(rosterView.memberAt(list.currentIndex))
            Keys.onMenuPressed: list.openMenu()
            Keys.onDeletePressed: rosterView.askDelete(rosterView.memberAt(list.currentIndex))
            Keys.onPressed: (event) => {
                if (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier) && list.currentItem) {
                    list.openMenu();
                    event.accepted = true;
                }
            }
            function openMenu() {
                const card = list.currentItem as MemberCard
                if (card)
                    card.openMenu()
            }
            // qmllint disable unqualified
            // (The linter of Qt 6.4 does not see the file's ids inside a delegate.)
            delegate: MemberCard {
                width: ListView.view.width
                roster: rosterView
                current: ListView.isCurrentItem && ListView.view.activeFocus
            }
            // qmllint enable unqualified
        }
    }

    // ---- sheets and the confirmation
    Sheet {
        id: formSheet
        objectName: "memberFormSheet"
        width: 480
        height: 440
        z: 1
        shown: Store.roster.formOpen
        onDismissed: Store.roster.formOpen = false
        body: MemberForm {}
    }
    Sheet {
        id: profileSheet
        objectName: "memberProfileSheet"
        width: 560
        height: 640
        z: 1
        shown: rosterView.hasEditing
        bodyKey: rosterView.hasEditing ? rosterView.editing.memberId : ""
        onDismissed: rosterView.editing = null
        // qmllint disable unqualified
        // (The linter of Qt 6.4 does not see the file's ids inside a component.)
        body: MemberProfileSheet {
            roster: rosterView
        }
        // qmllint enable unqualified
    }
    Sheet {
        id: secretSheet
        objectName: "memberSecretSheet"
        width: 520
        height: (bodyItem as Item)?.implicitHeight ?? 320
        z: 2
        shown: rosterView.secretOpen
        escapeCloses: false
        onDismissed: rosterView.clearSecret()
        // qmllint disable unqualified
        // (The linter of Qt 6.4 does not see the file's ids inside a component.)
        body: MemberSecretSheet {
            roster: rosterView
        }
        // qmllint enable unqualified
    }
    ConfirmDialog {
        objectName: "secretLeaveConfirm"
        z: 3
        shown: rosterView.secretLeaving
        title: "Пароль не скопирован. Закрыть? Он больше не покажется."
        confirmText: "Закрыть"
        onConfirmed: rosterView.clearSecret()
        onDismissed: rosterView.keepSecret()
    }
    ConfirmDialog {
        id: confirm
        objectName: "deleteConfirm"
        z: 3
        shown: rosterView.hasPendingDelete
        title: "Удалить сотрудника?"
        confirmText: rosterView.deleteButtonText
        onConfirmed: rosterView.confirmDelete()
        onDismissed: rosterView.cancelDelete()
    }
    // A reset signs the member out on every device and gives them a new one-time password.
    ConfirmDialog {
        objectName: "resetConfirm"
        z: 3
        shown: rosterView.hasPendingReset
        title: rosterView.resetTitle
        confirmText: "Сбросить пароль"
        onConfirmed: rosterView.confirmReset()
        onDismissed: rosterView.cancelReset()
    }
}

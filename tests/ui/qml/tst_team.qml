import QtQuick
import QtTest
import Corvane

// The team screen and its sheets by keyboard, against the demo team: Tab order through the
// header, filter row and list, arrows in the list and the date picker, Enter to open a card and
// to submit a sheet, Escape to close, and the delete confirmation opening on "Отмена".
Item {
    id: top
    width: 1100
    height: 800

    Component {
        id: teamComp
        TeamView { width: 1100; height: 800 }
    }

    TestCase {
        id: tc
        name: "TeamKeyboard"
        when: windowShown

        function initTestCase() {
            verify(helper.signIn("admin"));
        }
        function cleanup() {
            Store.roster.formOpen = false;
            Store.roster.clearSecret();
            Store.roster.query = "";
            Store.roster.type = Tm.All;
            Store.roster.dept = "";
        }

        function focused() { return top.Window.activeFocusItem }
        function focusedName() { return focused() ? focused().objectName : "" }

        function makeTeam() {
            const view = createTemporaryObject(teamComp, top);
            verify(view);
            tryCompare(view.roster, "contentCase", "list", 10000);
            waitForRendering(view);
            return view;
        }

        function test_tabOrder() {
            const view = makeTeam();
            const list = findChild(view, "memberList");
            findChild(view, "addMemberButton").forceActiveFocus(Qt.TabFocusReason);
            const seen = [];
            for (let i = 0; i < 30 && !list.activeFocus; ++i) {
                keyClick(Qt.Key_Tab);
                seen.push(focusedName());
            }
            compare(seen.slice(0, 5), ["reloadButton", "seg_all", "seg_member", "seg_contractor", "dept_"]);
            compare(seen.slice(-3, -1), ["sortButton", "searchInput"]);
            verify(list.activeFocus);
            // The list is one stop: the card menus are reached from it, not by Tab.
            keyClick(Qt.Key_Tab);
            compare(focusedName(), "addMemberButton");
            keyClick(Qt.Key_Tab, Qt.ShiftModifier);
            verify(list.activeFocus);
            keyClick(Qt.Key_Tab, Qt.ShiftModifier);
            compare(focusedName(), "searchInput");
        }

        function test_listOpensAndSheetCloses() {
            const view = makeTeam();
            const list = findChild(view, "memberList");
            list.forceActiveFocus(Qt.TabFocusReason);
            compare(list.currentIndex, 0);
            keyClick(Qt.Key_Down);
            compare(list.currentIndex, 1);
            const second = view.roster.memberAt(1);
            keyClick(Qt.Key_Return);
            verify(view.roster.hasEditing);
            compare(view.editing.memberId, second.memberId);
            const sheet = findChild(view, "memberProfileSheet");
            tryVerify(function() { return sheet.opened; });
            compare(focusedName(), "nameInput");
            // The sheet's controls in order, from the name to "Сохранить".
            const seen = [];
            for (let i = 0; i < 30 && focusedName() !== "saveButton"; ++i) {
                keyClick(Qt.Key_Tab);
                seen.push(focusedName());
            }
            compare(seen, ["presetInput", "presetButton", "deptInput", "seg_member", "seg_contractor",
                           "seg_viewer", "seg_admin", "activeSwitch", "emailInput", "telegramInput",
                           "joinedField", "timezoneInput", "noteInput", "resetPasswordButton",
                           "deleteButton", "cancelButton", "saveButton"]);
            keyClick(Qt.Key_Escape);
            verify(!view.roster.hasEditing);
            tryVerify(function() { return !sheet.visible; });
        }

        // The joined date by keys; another member opened meanwhile gets a fresh sheet of their own.
        function test_profileSheetByKeys() {
            const view = makeTeam();
            view.roster.open(view.roster.memberAt(0));
            const sheet = findChild(view, "memberProfileSheet");
            tryVerify(function() { return sheet.opened; });
            const draft = sheet.bodyItem.draft;
            const field = findChild(sheet.bodyItem, "joinedField");
            field.forceActiveFocus(Qt.TabFocusReason);
            const before = draft.joinedText;
            keyClick(Qt.Key_Return);
            const popup = findChild(field, "datePopup");
            tryVerify(function() { return popup.opened; });
            keyClick(Qt.Key_Right);
            keyClick(Qt.Key_Down);
            keyClick(Qt.Key_Return);
            tryVerify(function() { return !popup.visible; });
            verify(draft.joinedText !== before);
            sheet.bodyItem.draft.name = "typed for the first";
            view.roster.open(view.roster.memberAt(1));
            tryCompare(sheet.bodyItem.draft, "memberId", view.roster.memberAt(1).memberId);
            compare(sheet.bodyItem.draft.name, view.roster.memberAt(1).name);
            keyClick(Qt.Key_Escape); // the sheet goes, nothing saved
            verify(!view.roster.hasEditing);
        }

        function test_createByKeyboardThenDeleteWithConfirmation() {
            const view = makeTeam();
            const before = view.roster.memberCount;
            findChild(view, "addMemberButton").forceActiveFocus(Qt.TabFocusReason);
            keyClick(Qt.Key_Space);
            verify(Store.roster.formOpen);
            const form = findChild(view, "memberFormSheet");
            tryVerify(function() { return form.opened; });
            compare(focusedName(), "nameInput");
            keyClick(Qt.Key_Return); // nothing typed: "Создать" is off, Enter does nothing
            verify(Store.roster.formOpen);
            for (const ch of "key")
                keySequence(ch);
            keyClick(Qt.Key_Tab);
            for (const ch of "kb.tester")
                keySequence(ch);
            keyClick(Qt.Key_Return);
            // Created: the form closes and the one-time credential opens, "Готово" focused.
            tryVerify(function() { return !Store.roster.formOpen; }, 10000);
            tryVerify(function() { return view.roster.secretOpen; }, 10000);
            const secret = findChild(view, "memberSecretSheet");
            tryVerify(function() { return secret.opened; });
            compare(focusedName(), "doneButton");
            verify(view.roster.secretText.indexOf("логин: kb.tester") >= 0);
            // Copied, Escape closes it (never copied, it asks first: below).
            mouseClick(findChild(secret.contentItem, "copyButton"));
            keyClick(Qt.Key_Escape);
            verify(!view.roster.secretOpen);
            tryCompare(view.roster, "memberCount", before + 1, 10000);

            // Delete asks first, with "Отмена" focused: Enter there keeps the member.
            Store.roster.query = "kb.tester";
            tryCompare(view.roster.model, "count", 1);
            findChild(view, "memberList").forceActiveFocus(Qt.TabFocusReason);
            keyClick(Qt.Key_Delete);
            const confirm = findChild(view, "deleteConfirm");
            tryVerify(function() { return confirm.opened; });
            compare(focusedName(), "confirmCancel");
            keyClick(Qt.Key_Return);
            verify(!view.roster.hasPendingDelete);
            tryVerify(function() { return !confirm.visible; });
            compare(view.roster.memberCount, before + 1);
            view.roster.askDelete(view.roster.memberAt(0));
            tryVerify(function() { return confirm.opened; });
            mouseClick(findChild(confirm.contentItem, "confirmButton"));
            tryCompare(view.roster, "memberCount", before, 10000);
            compare(Store.toast, "Сотрудник удалён");
        }

        function test_credentialSheetOnlyClosesOnPurpose() {
            const view = makeTeam();
            helper.showSecret({ "title": "Новый пароль", "login": "m7", "password": "s3cret-pw", "created": false });
            const secret = findChild(view, "memberSecretSheet");
            tryVerify(function() { return secret.opened; });
            mouseClick(top, 5, 5); // outside the sheet
            verify(secret.opened);
            verify(view.roster.secretOpen);
            keyClick(Qt.Key_Escape);
            const leave = findChild(view, "secretLeaveConfirm");
            tryVerify(function() { return leave.opened; });
            compare(focusedName(), "confirmCancel");
            keyClick(Qt.Key_Return);        // "Отмена": back to the sheet
            tryVerify(function() { return !leave.visible; });
            verify(secret.opened);
            keyClick(Qt.Key_Escape);
            tryVerify(function() { return leave.opened; });
            mouseClick(findChild(leave.contentItem, "confirmButton"));
            verify(!view.roster.secretOpen);
            compare(Object.keys(Store.roster.secret).length, 0);
        }

        function test_presetReplacesTypedText() {
            const view = makeTeam();
            Store.roster.formOpen = true;
            const form = findChild(view, "memberFormSheet");
            tryVerify(function() { return form.opened; });
            const input = findChild(form.bodyItem, "presetInput");
            input.forceActiveFocus(Qt.TabFocusReason);
            for (const ch of "qa lead")
                keySequence(ch);
            compare(form.bodyItem.draft.spec, "qa lead");
            const field = findChild(form.bodyItem, "specField");
            mouseClick(findChild(form.bodyItem, "presetButton"));
            tryVerify(function() { return field.menu !== null && field.menu.opened; });
            mouseClick(field.menu.itemAt(7));
            compare(form.bodyItem.draft.spec, "QA-инженер");
            compare(input.text, "QA-инженер");
        }
    }
}

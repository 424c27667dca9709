import QtQuick
import QtTest
import Corvane

// Every control that Tab reaches on the statistics, activity, team and profile screens, in
// each sheet and tab, has a name for assistive tools; member cards by the member's name.
Item {
    id: top
    width: 1100
    height: 800

    Component { id: statsComp; StatsView { width: 1100; height: 800 } }
    Component { id: activityComp; ActivityView { width: 1100; height: 800 } }
    Component { id: teamComp; TeamView { width: 1100; height: 800 } }
    Component { id: profileComp; ProfileView { width: 1100; height: 800 } }

    TestCase {
        name: "NamedControls"
        when: windowShown

        function initTestCase() {
            verify(helper.signIn("admin"));
        }
        function cleanup() {
            Store.roster.formOpen = false;
            Store.roster.clearSecret();
        }

        function make(comp) {
            const view = createTemporaryObject(comp, top);
            verify(view);
            waitForRendering(view);
            return view;
        }

        function test_stats() {
            const view = make(statsComp);
            tryVerify(function() { return view.model.count > 0; }, 10000);
            compare(helper.unnamedFocusables(view), []);
        }

        function test_activity() {
            const view = make(activityComp);
            tryVerify(function() { return view.model.count > 0; }, 10000);
            compare(helper.unnamedFocusables(view), []);
        }

        function test_teamAndSheets() {
            const view = make(teamComp);
            tryCompare(view.roster, "contentCase", "list", 10000);
            waitForRendering(view);
            compare(helper.unnamedFocusables(view), []);
            const card = view.list.itemAtIndex(0);
            compare(helper.announced(card), card.title);

            Store.roster.formOpen = true;
            const form = findChild(view, "memberFormSheet");
            tryVerify(function() { return form.opened; });
            compare(helper.unnamedFocusables(view), []);
            Store.roster.formOpen = false;
            tryVerify(function() { return !form.visible; });

            view.roster.open(view.roster.memberAt(0));
            const sheet = findChild(view, "memberProfileSheet");
            tryVerify(function() { return sheet.opened; });
            compare(helper.unnamedFocusables(view), []);
            view.roster.editing = null;
            tryVerify(function() { return !sheet.visible; });

            helper.showSecret({ "title": "Новый пароль", "login": "x", "password": "y", "created": false });
            const secret = findChild(view, "memberSecretSheet");
            tryVerify(function() { return secret.opened; });
            compare(helper.unnamedFocusables(view), []);
        }

        function test_profileTabs() {
            const view = make(profileComp);
            compare(helper.unnamedFocusables(view), []);
            // Arrows move between the tabs, Tab goes on into the tab's inputs.
            findChild(view, "tab_profile").forceActiveFocus(Qt.TabFocusReason);
            keyClick(Qt.Key_Right);
            compare(view.draft.tab, "security");
            tryVerify(function() { return findChild(view, "curPassInput") !== null; });
            compare(top.Window.activeFocusItem.objectName, "tab_security");
            keyClick(Qt.Key_Tab);
            compare(top.Window.activeFocusItem.objectName, "curPassInput");
            compare(helper.unnamedFocusables(view), []);
            keyClick(Qt.Key_Left);
            keyClick(Qt.Key_Tab, Qt.ShiftModifier);
            keyClick(Qt.Key_Left);
            compare(view.draft.tab, "profile");
        }
    }
}

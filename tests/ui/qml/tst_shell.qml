import QtQuick
import QtTest
import Corvane

// The platform shell: sections by role, collapsing the sidebar, the profile and back, the
// toast, the relogin banner, projects and the user menu.
// TestCase itself is not visible, so the views under test live in this item.
Item {
    id: top
    width: 1320
    height: 840

    TestCase {
        id: tc
        name: "Shell"
        when: windowShown
        width: 1320
        height: 840

        Component {
            id: platformComp
            PlatformView { width: 1320; height: 840 }
        }

        function init() {
            helper.reset();
            helper.enterPlatform("viewer", "  Анна   Иванова ");
        }

        function make() {
            const view = createTemporaryObject(platformComp, top);
            verify(view);
            waitForRendering(view);
            return view;
        }

        function test_sectionsByRole() {
            const view = make();
            verify(!findChild(view, "nav_stats"));   // which sections a role sees: the shell's table
            compare(findChild(view, "initials").text, "АИ");
            // A role change shows the administrator's sections at once.
            helper.setRole("admin");
            tryVerify(function() { return findChild(view, "nav_stats") !== null; });
            waitForRendering(view);     // let the layout place the new rows
            mouseClick(findChild(view, "nav_team"));
            compare(Store.navName, "team");
            tryCompare(view, "section", "TeamView");
            verify(findChild(view, "nav_team").active);
            verify(!findChild(view, "nav_dashboard").active);
        }

        function test_collapseAndExpand() {
            const view = make();
            mouseClick(findChild(view, "collapseButton"));
            compare(Store.sidebarCollapsed, true);
            tryVerify(function() { return !findChild(view, "logoutButton").visible; });
            mouseClick(findChild(view, "expandButton"));
            compare(Store.sidebarCollapsed, false);
            tryVerify(function() { return findChild(view, "logoutButton").visible; });
        }

        function test_profileAndBack() {
            const view = make();
            mouseClick(findChild(view, "profileButton"));
            compare(Store.showProfile, true);
            tryCompare(view, "section", "ProfileView");
            const back = findChild(view, "backButton");
            verify(back.visible);
            // No row is highlighted while the profile is open.
            verify(!findChild(view, "nav_dashboard").active);
            compare(findChild(view.sectionItem, "profileName").text, Store.name);
            mouseClick(back);
            compare(Store.showProfile, false);
            tryCompare(view, "section", "DashboardView");
            verify(!back.visible);
            // Choosing a section while the profile is open closes it.
            Store.showProfile = true;
            mouseClick(findChild(view, "nav_projects"));
            compare(Store.showProfile, false);
            compare(view.section, "ProjectsView");
        }

        function test_toastComesAndGoes() {
            const view = make();
            const toast = findChild(view, "toast");
            compare(toast.visible, false);
            Store.flash("Сохранено ✓");
            tryCompare(toast, "opacity", 1, 2000);
            compare(toast.text, "Сохранено ✓");
            // The Store clears it; the bubble slides out and disappears.
            tryCompare(Store, "toast", "", 3000);
            tryCompare(toast, "visible", false, 2000);
        }

        function test_reloginBanner() {
            const view = make();
            const banner = findChild(view, "reloginBanner");
            compare(banner.visible, false);
            helper.setRole("admin");            // an administrator without a session
            tryCompare(banner, "visible", true);
            mouseClick(findChild(view, "nav_tasks"));
            verify(banner.visible);          // over every section
            helper.setSession("s");
            tryCompare(banner, "visible", false);
            helper.setAuthExpired(true);
            tryCompare(banner, "visible", true);
            mouseClick(findChild(banner, "reloginButton"));
            compare(Store.phaseName, "auth");
        }

        function test_projects() {
            const view = make();
            mouseClick(findChild(view, "nav_projects"));
            tryCompare(view, "section", "ProjectsView");
            const projects = view.sectionItem;
            verify(findChild(projects, "projectsPlaceholder").visible);
            helper.setAccounts(5);   // projects proj-0 and proj-1, three times and twice
            tryCompare(findChild(projects, "projectsList"), "count", 2);
            verify(!findChild(projects, "projectsPlaceholder").visible);
            compare(projects.projects, ["proj-0", "proj-1"]);
        }

        function test_userMenu() {
            const view = make();
            const button = findChild(view, "profileButton");
            mouseClick(button, button.width / 2, button.height / 2, Qt.RightButton);
            const menu = findChild(view, "userMenu");
            tryCompare(menu, "opened", true);
            const before = helper.chooserCalls;
            mouseClick(findChild(menu.contentItem, "menuPhoto") || menu.itemAt(0));
            tryCompare(menu, "opened", false);
            compare(helper.chooserCalls, before + 1);
        }
    }
}

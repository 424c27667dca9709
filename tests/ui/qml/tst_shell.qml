import QtQuick
import QtTest
import Corvane

// The platform shell: sections by role, the profile and back, the toast and the relogin banner.
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
            // A role change shows the administrator's sections at once.
            helper.setRole("admin");
            tryVerify(function() { return findChild(view, "nav_stats") !== null; });
            waitForRendering(view);     // let the layout place the new rows
            mouseClick(findChild(view, "nav_team"));
            compare(Store.navName, "team");
            tryCompare(view, "section", "members/TeamView");
            verify(findChild(view, "nav_team").active);
            verify(!findChild(view, "nav_dashboard").active);
        }

        function test_profileAndBack() {
            const view = make();
            mouseClick(findChild(view, "profileButton"));
            compare(Store.showProfile, true);
            tryCompare(view, "section", "profile/ProfileView");
            const back = findChild(view, "backButton");
            verify(back.visible);
            // No row is highlighted while the profile is open.
            verify(!findChild(view, "nav_dashboard").active);
            compare(findChild(view.sectionItem, "profileName").text, Store.name);
            mouseClick(back);
            compare(Store.showProfile, false);
            tryCompare(view, "section", "home/DashboardView");
            verify(!back.visible);
            // Choosing a section while the profile is open closes it.
            Store.showProfile = true;
            mouseClick(findChild(view, "nav_projects"));
            compare(Store.showProfile, false);
            compare(view.section, "shell/ProjectsView");
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

    }
}

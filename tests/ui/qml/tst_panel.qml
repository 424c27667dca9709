import QtQuick
import QtTest
import Corvane

// The tray panel's body: the sign-in hint outside the platform, the two empty texts, at most
// four accounts with their gauges, and the administrator's team row.
// TestCase itself is not visible, so the views under test live in this item.
Item {
    id: top
    width: 264
    height: 600

    TestCase {
        id: tc
        name: "TrayPanel"
        when: windowShown
        width: 264
        height: 600

        Component {
            id: panelComp
            MenuContent { width: 264 }
        }

        function accountRows(panel) {
            const out = [];
            const col = findChild(panel, "panelAccountList");
            for (let i = 0; i < col.children.length; ++i)
                if (col.children[i].objectName === "panelAccount")
                    out.push(col.children[i]);
            return out;
        }

        function init() { helper.reset(); }

        function test_cases() {
            const panel = createTemporaryObject(panelComp, top);
            const text = findChild(panel, "panelText");
            compare(panel.bodyCase, "signin");
            verify(text.visible);
            compare(accountRows(panel).length, 0);

            helper.enterPlatform("viewer", "Анна");
            helper.setAccounts(0);
            helper.setTelemetryOk(false);
            compare(panel.bodyCase, "empty");
            const noTelemetry = text.text;
            helper.setTelemetryOk(true);
            verify(text.text !== noTelemetry);      // the text follows the Store

            helper.setAccounts(6);
            compare(panel.bodyCase, "accounts");
            verify(!text.visible);
            const rows = accountRows(panel);
            compare(rows.length, 4);
            compare(findChild(rows[3], "accountEmail").text, "acct3@corvane.dev");
            helper.setAccounts(2);
            compare(accountRows(panel).length, 2);
        }

        function test_teamRow() {
            const panel = createTemporaryObject(panelComp, top);
            const row = findChild(panel, "teamRow");
            helper.enterPlatform("viewer", "Анна");
            helper.setTeam(3, 5);
            verify(!row.visible);                 // never for a viewer
            Store.role = "admin";
            verify(row.visible);
            compare(findChild(panel, "teamRatio").text, "3/5");
        }

        function test_buttons() {
            const panel = createTemporaryObject(panelComp, top);
            const opened = signalSpyComp.createObject(tc, { target: Shell, signalName: "openMainWindowRequested" });
            const quit = signalSpyComp.createObject(tc, { target: Shell, signalName: "quitRequested" });
            mouseClick(findChild(panel, "openButton"));
            compare(opened.count, 1);
            mouseClick(findChild(panel, "quitButton"));
            compare(quit.count, 1);
            // Refreshing outside the platform starts nothing.
            mouseClick(findChild(panel, "panelRefresh"));
            compare(Store.loadingHome, false);
        }

        Component {
            id: signalSpyComp
            SignalSpy {}
        }
    }
}

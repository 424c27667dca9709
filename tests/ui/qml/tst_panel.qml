import QtQuick
import QtTest
import Corvane

// The tray panel's buttons reach the shell; which body it shows is the shell's rule (C++).
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
        Component {
            id: signalSpyComp
            SignalSpy {}
        }

        function init() { helper.reset(); }

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
            compare(Store.home.loading, false);
        }
    }
}

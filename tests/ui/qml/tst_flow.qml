import QtQuick
import QtTest
import Corvane

// The first run, clicked through against the reference server: sign-in (with its refusals),
// the first-login password change (with its checks), machine set-up, then the platform.
// TestCase itself is not visible, so the views under test live in this item.
Item {
    id: top
    width: 1000
    height: 640

    TestCase {
        id: tc
        name: "FirstRun"
        when: windowShown
        width: 1000
        height: 640

        Component {
            id: rootComp
            RootView { width: 1000; height: 640 }
        }

        function field(root, name) {
            const f = findChild(root.current, name);
            verify(f, name);
            return f;
        }

        function test_signInToPlatform() {
            helper.reset();
            const root = createTemporaryObject(rootComp, top);
            verify(root);
            compare(root.screen, "session/AuthView");
            waitForRendering(root);

            // A wrong password, submitted with Return in the password field: the server's refusal
            // shows under the fields.
            const button = field(root, "signInButton");
            field(root, "loginField").text = helper.adminLogin;
            const pass = field(root, "passwordField");
            pass.text = "wrong-password";
            pass.forceActiveFocus();
            // The key goes to the window's focused item: on a busy machine the window may not be
            // active yet, and the key would go nowhere.
            tryCompare(pass, "activeFocus", true);
            keyClick(Qt.Key_Return);
            tryCompare(Store, "busy", false, 10000);
            compare(Store.error, "Неверный логин или пароль.");
            compare(field(root, "errorText").visible, true);
            compare(root.screen, "session/AuthView");

            // The right one, with the button; the second press is ignored while busy.
            pass.text = helper.adminPassword;
            mouseClick(button);
            compare(Store.busy, true);
            compare(button.enabled, false);
            mouseClick(button);
            tryCompare(root, "screen", "session/ChangePasswordView", 10000);

            // The password screen's checks (their rules are the Store's) answer Return.
            const p1 = field(root, "newPasswordField");
            const p2 = field(root, "repeatPasswordField");
            p1.text = "long-enough-1";
            p2.text = "long-enough-2";
            p2.forceActiveFocus();
            tryCompare(p2, "activeFocus", true);
            keyClick(Qt.Key_Return);
            compare(Store.error, "Пароли не совпадают.");
            p2.text = "long-enough-1";
            mouseClick(field(root, "savePasswordButton"));
            tryCompare(root, "screen", "session/OnboardingView", 10000);

            // Set-up: four steps tick as the install script reports them, then the platform.
            const onboarding = root.current;
            verify(findChild(onboarding, "stepsCard"));
            tryVerify(function() {
                const s = Store.steps;
                return s.length === 4 && s.every(function(x) { return x.done; });
            }, 20000);
            tryCompare(Store, "installDone", true, 20000);
            tryCompare(root, "screen", "PlatformView", 10000);
            verify(helper.configWritten());

            const platform = root.current;
            waitForRendering(platform);
            compare(Store.role, "admin");

            // Signing out from the sidebar returns to the sign-in screen with empty fields.
            mouseClick(findChild(platform, "logoutButton"));
            tryCompare(root, "screen", "session/AuthView");
            compare(field(root, "loginField").text, "");
        }
    }
}

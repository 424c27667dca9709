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
            compare(root.screen, "AuthView");
            waitForRendering(root);

            // Empty login: the message, no request.
            const button = field(root, "signInButton");
            mouseClick(button);
            compare(Store.error, "Введи логин и пароль.");
            compare(Store.busy, false);
            compare(field(root, "errorText").visible, true);

            // A wrong password, submitted with Return in the password field.
            field(root, "loginField").text = helper.adminLogin;
            const pass = field(root, "passwordField");
            pass.text = "wrong-password";
            pass.forceActiveFocus();
            // The key goes to the window's focused item: on a busy machine the window may not be
            // active yet, and the key would go nowhere.
            tryCompare(pass, "activeFocus", true);
            keyClick(Qt.Key_Return);
            compare(Store.error, "");       // cleared by the submit that passed the check
            tryCompare(Store, "busy", false, 10000);
            compare(Store.error, "Неверный логин или пароль.");
            compare(root.screen, "AuthView");

            // The right one, with the button; the second press is ignored while busy.
            pass.text = helper.adminPassword;
            mouseClick(button);
            compare(Store.busy, true);
            compare(button.enabled, false);
            mouseClick(button);
            tryCompare(root, "screen", "ChangePasswordView", 10000);

            // The password screen checks length first, then the repetition.
            const p1 = field(root, "newPasswordField");
            const p2 = field(root, "repeatPasswordField");
            p1.text = "short12";
            p2.text = "other12";
            mouseClick(field(root, "savePasswordButton"));
            compare(Store.error, "Минимум 8 символов.");
            p1.text = "long-enough-1";
            p2.text = "long-enough-2";
            p2.forceActiveFocus();
            tryCompare(p2, "activeFocus", true);
            keyClick(Qt.Key_Return);
            compare(Store.error, "Пароли не совпадают.");
            p2.text = "long-enough-1";
            keyClick(Qt.Key_Enter);
            tryCompare(root, "screen", "OnboardingView", 10000);

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
            tryCompare(root, "screen", "AuthView");
            compare(field(root, "loginField").text, "");
        }
    }
}

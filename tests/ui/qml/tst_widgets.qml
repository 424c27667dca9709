import QtQuick
import QtTest
import Corvane

// The shared widgets' own behaviour: what a screen's binding and a click do to them.
TestCase {
    id: tc
    name: "Widgets"
    when: windowShown
    visible: true
    width: 600
    height: 400

    Component { id: copyComp; CopyButton {} }
    Component { id: chipComp; FilterChip {} }

    // A state object that a Seg binds to and writes back to, the way screens use it.
    QtObject { id: shared; property string mode: "list" }
    Component {
        id: boundSegComp
        Seg {
            items: [{ key: "list", label: "Список" }, { key: "people", label: "По людям" }]
            sel: shared.mode
            onPicked: key => shared.mode = key
        }
    }

    // A tap selects the segment and tells the caller; the caller's state still drives the switch.
    function test_segKeepsCallerBinding() {
        shared.mode = "list";
        const seg = createTemporaryObject(boundSegComp, tc);
        mouseClick(findChild(seg, "seg_people"));
        compare(shared.mode, "people");
        verify(findChild(seg, "seg_people").selected);
        verify(!findChild(seg, "seg_list").selected);
        shared.mode = "list";
        compare(seg.sel, "list");
        verify(findChild(seg, "seg_list").selected);
        // Arrows move the choice as a click does.
        findChild(seg, "seg_list").forceActiveFocus(Qt.TabFocusReason);
        keyClick(Qt.Key_Right);
        compare(shared.mode, "people");
    }

    // The check mark after a copy goes back by itself.
    function test_copyButtonMarksAndResets() {
        const btn = createTemporaryObject(copyComp, tc, { text: "sk-ant-123" });
        mouseClick(btn);
        compare(btn.done, true);
        compare(btn.contentItem.name, "checkmark");
        tryCompare(btn, "done", false, 5000);
        compare(btn.contentItem.name, "doc.on.doc");
    }

    // The one focus ring shows for keyboard focus only, on the shared buttons alike.
    function test_focusRingOnKeyboardFocusOnly() {
        for (const comp of [copyComp, chipComp]) {
            const btn = createTemporaryObject(comp, tc, { text: "x", title: "x" });
            const ring = findChild(btn, "focusRing");
            verify(!ring.visible);
            btn.forceActiveFocus(Qt.TabFocusReason);
            verify(ring.visible);
            tc.forceActiveFocus();
            btn.forceActiveFocus(Qt.MouseFocusReason);
            verify(btn.activeFocus && !ring.visible);
        }
    }
}

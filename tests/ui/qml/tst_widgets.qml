import QtQuick
import QtTest
import Corvane

// The shared widgets: visible facts that follow from their inputs.
TestCase {
    id: tc
    name: "Widgets"
    when: windowShown
    visible: true
    width: 600
    height: 400

    Component { id: copyComp; CopyButton {} }
    Component { id: shareComp; ShareBar { width: 200 } }
    Component { id: tileComp; StatTile { width: 200 } }
    Component { id: headerComp; Header { width: 300 } }
    Component { id: chipComp; FilterChip {} }
    Component { id: logoComp; ProviderLogo { size: 20 } }
    Component { id: markComp; Logo { size: 40 } }
    Component { id: flowComp; FlowChips {} }
    Component { id: sectionComp; Section2 { width: 300; Text { objectName: "inside"; text: "x" } } }
    Component { id: labeledComp; LabeledField { label: "Логин"; FieldStyle { objectName: "field" } } }

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
    }

    function test_copyButtonMarksAndResets() {
        const btn = createTemporaryObject(copyComp, tc, { text: "sk-ant-123" });
        compare(btn.done, false);
        compare(btn.contentItem.name, "doc.on.doc");
        mouseClick(btn);
        compare(btn.done, true);
        compare(btn.contentItem.name, "checkmark");
        verify(Qt.colorEqual(btn.contentItem.color, T.ok));
        tryCompare(btn, "done", false, 5000);
        compare(btn.contentItem.name, "doc.on.doc");
    }

    function test_shareBarClamps_data() {
        return [
            { tag: "half", frac: 0.5, width: 100 },
            { tag: "below zero", frac: -0.3, width: 0 },      // the clamp is Ui's, the hidden fill the bar's
        ];
    }
    function test_shareBarClamps(data) {
        const bar = createTemporaryObject(shareComp, tc, { frac: data.frac, color: T.ok });
        compare(bar.height, 6);
        compare(findChild(bar, "fill").width, data.width);
        compare(findChild(bar, "fill").visible, data.width > 0);
    }

    function test_statTileSubLine() {
        const plain = createTemporaryObject(tileComp, tc, { title: "Траты", value: "$12", accent: T.accent });
        const withSub = createTemporaryObject(tileComp, tc, { title: "Траты", value: "$12", sub: "за 7 дней" });
        verify(!findChild(plain, "subLine").visible);
        verify(findChild(withSub, "subLine").visible);
        verify(plain.implicitHeight < withSub.implicitHeight);
    }

    function test_headerRefresh() {
        const bare = createTemporaryObject(headerComp, tc, { title: "Задачи" });
        verify(!findChild(bare, "refreshButton").visible);
        let calls = 0;
        const hdr = createTemporaryObject(headerComp, tc, { title: "Проекты", refresh: () => calls++ });
        const btn = findChild(hdr, "refreshButton");
        verify(btn.visible);
        mouseClick(btn);
        compare(calls, 1);
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

    function test_filterChip() {
        const bare = createTemporaryObject(chipComp, tc, { title: "Все", count: 7 });
        verify(!findChild(bare, "chipLogo").visible);
        const chip = createTemporaryObject(chipComp, tc, { title: "Claude", count: 3, logo: "claude", active: true });
        verify(findChild(chip, "chipLogo").visible);
        const spy = createTemporaryQmlObject("import QtTest; SignalSpy { signalName: 'tap' }", tc);
        spy.target = chip;
        mouseClick(chip);
        compare(spy.count, 1);
    }

    // A provider with a picture shows it; one without falls back to the drawn symbol.
    function test_providerLogo() {
        const withImage = createTemporaryObject(logoComp, tc, { provider: "claude" });
        verify(withImage.source.toString() !== "");
        verify(!findChild(withImage, "fallback").visible);
        verify(findChild(createTemporaryObject(logoComp, tc, { provider: "something-new" }), "fallback").visible);
        verify(!findChild(createTemporaryObject(markComp, tc), "monogram").visible);
    }

    function test_flowChips() {
        const row = createTemporaryObject(flowComp, tc, {
            items: [{ label: "mac-1", value: "2.0.100", flag: false }, { label: "mac-2", value: "2.1.0", flag: true }]
        });
        compare(row.children.length, 3); // two chips and the repeater
        verify(findChild(row.children[0], "warnIcon").visible);
        verify(!findChild(row.children[1], "warnIcon").visible);
    }

    function test_containersTakeContent() {
        const s = createTemporaryObject(sectionComp, tc, { title: "Устройства" });
        const inside = findChild(s, "inside");
        verify(inside);
        verify(inside.y > 14); // below the title
        const l = createTemporaryObject(labeledComp, tc);
        const f = findChild(l, "field");
        verify(f && f.y > 0);
        f.secure = true;
        compare(f.echoMode, TextInput.Password);
    }
}

import QtQuick
import QtTest
import Corvane

// The limit gauges of the panel and the dashboard.
TestCase {
    id: tc
    name: "Gauges"
    when: windowShown
    visible: true
    width: 400
    height: 300

    Component { id: miniComp; MiniGauge { width: 240 } }
    Component { id: rowComp; GaugeRow { width: 240 } }
    Component { id: cardComp; AccountCard { width: 320 } }

    // The rules themselves (texts, tones, the clamp) are tested in C++; here, that the gauge
    // shows what they say.
    function test_miniGauge() {
        const g = createTemporaryObject(miniComp, tc, { label: "5ч", pct: 75 });
        compare(findChild(g, "value").text, "75%");
        const bar = findChild(g, "bar");
        compare(bar.fraction, 0.75);
        fuzzyCompare(findChild(bar, "fill").width, bar.width * 0.75, 0.01);
        verify(Qt.colorEqual(bar.tone, T.warn));
    }

    function test_gaugeRowResetLine() {
        const none = createTemporaryObject(rowComp, tc, { title: "5 часов", pct: 40, reset: 0 });
        verify(!findChild(none, "resetLine").visible);
        compare(findChild(none, "value").text, "40%");
        const t = 1767225600; // 1 Jan 2026 00:00 UTC
        const some = createTemporaryObject(rowComp, tc, { title: "7 дней", pct: 40, reset: t });
        const line = findChild(some, "resetLine");
        verify(line.visible);
        compare(line.text, Ui.resetText(t));
        verify(some.implicitHeight > none.implicitHeight);
    }

    function test_accountCard() {
        const card = createTemporaryObject(cardComp, tc, {
            a: { email: "dev@corp.ru", project: "", fivePct: 91, fiveReset: 0, sevenPct: 10, sevenReset: 1767225600, ok: false }
        });
        verify(findChild(card, "noData").visible);
        verify(!findChild(card, "project").visible);
        const five = findChild(card, "five");
        compare(five.valueText, "91%");
        verify(Qt.colorEqual(findChild(five, "bar").tone, T.danger));
        verify(findChild(findChild(card, "seven"), "resetLine").visible);

        card.a = { email: "x@y", project: "corvane", fivePct: 0, sevenPct: 0, ok: true };
        verify(!findChild(card, "noData").visible);
        verify(findChild(card, "project").visible);
        compare(findChild(card, "five").valueText, "—");
    }
}

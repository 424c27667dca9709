import QtQuick
import QtTest
import Corvane

// The AI resources screens with the demo team: rows and cards by mouse and keyboard, the form
// from a dashboard card, deletion from a detail, state kept across reloads, and a name on every
// focusable control.
Item {
    id: top
    width: 1320
    height: 1100

    // Tall enough for an open row's detail (its history chart, devices, breakdown and buttons)
    // with the rows around it.
    Component {
        id: panelComp
        AccountsPanel { width: 1100; height: 1060 }
    }
    Component {
        id: dashboardComp
        DashboardView { width: 1100; height: 800 }
    }
    Component {
        id: formHostComp
        AccountFormHost {}
    }

    TestCase {
        id: tc
        name: "Resources"
        when: windowShown

        function initTestCase() {
            verify(helper.signIn("admin"));
        }

        function init() {
            helper.resetPanel();
        }

        function makePanel() {
            const panel = createTemporaryObject(panelComp, top);
            tryCompare(panel, "contentCase", "table", 10000);
            // The panel's own reload lands before the test moves through the rows.
            tryVerify(function() { return helper.idle(); }, 10000);
            waitForRendering(panel);
            return panel;
        }

        // The delegate of the first account row (not a group header) of the table.
        function firstAccountRow(panel) {
            const list = panel.table.list;
            for (let i = 0; i < list.count; ++i) {
                const d = list.itemAtIndex(i);
                if (d && !d.isHeader)
                    return d;
            }
            return null;
        }

        function rowOf(panel, id) {
            const list = panel.table.list;
            for (let i = 0; i < list.count; ++i) {
                const d = list.itemAtIndex(i);
                if (d && d.accountId === id)
                    return d;
            }
            return null;
        }

        function test_rowsByKeyboard() {
            const panel = makePanel();
            const list = panel.table.list;
            list.forceActiveFocus();
            compare(list.currentIndex, 0);          // a group header
            keyClick(Qt.Key_Down);
            compare(list.currentIndex, 1);
            const id = list.currentItem.accountId;
            verify(id !== "");
            keyClick(Qt.Key_Space);
            verify(Store.resources.expanded.indexOf(id) >= 0);
            keyClick(Qt.Key_Return);
            compare(Store.resources.expanded.indexOf(id), -1);
            keyClick(Qt.Key_Up);
            keyClick(Qt.Key_Space);                 // a header does not open
            compare(Store.resources.expanded.length, 0);
        }

        // Narrower than its columns need, the table scrolls sideways, header and rows together.
        function test_tableScrollsSideways() {
            const panel = makePanel();
            const table = panel.table;
            verify(table.hscroll.contentWidth > table.hscroll.width);
            const header = findChild(panel, "sort_online");
            const before = header.mapToItem(panel, 0, 0).x;
            table.hscroll.contentX = table.hscroll.contentWidth - table.hscroll.width;
            const row = firstAccountRow(panel);
            compare(header.mapToItem(panel, 0, 0).x, before - table.hscroll.contentX);
            compare(row.mapToItem(panel, 0, 0).x, table.mapToItem(panel, 0, 0).x + 1 - table.hscroll.contentX);
        }

        function test_sortModeSearchAndChips() {
            const panel = makePanel();
            // The header clicks reach the sort rule (its table is in C++).
            mouseClick(findChild(panel, "sort_email"));
            compare(Store.resources.sortKey, Ac.Email);

            mouseClick(findChild(findChild(panel, "modeSeg"), "seg_accounts"));
            compare(Store.resources.mode, Ac.Accounts);
            tryCompare(panel.table.list, "model", panel.accountsModel);

            const search = findChild(panel, "searchField");
            mouseClick(search);
            keyClick(Qt.Key_Z);
            keyClick(Qt.Key_Z);
            keyClick(Qt.Key_Q);
            compare(Store.resources.query, "zzq");   // which case that shows: the panel's C++ table
            search.clear();
            search.textEdited();
            compare(Store.resources.query, "");

            const chip = findChild(panel, "chip_codex");
            verify(chip);
            mouseClick(chip);
            compare(Store.resources.prov, "codex");
        }

        function test_formFromDashboardCard() {
            const dash = createTemporaryObject(dashboardComp, top);
            const host = createTemporaryObject(formHostComp, top);
            tryVerify(function() { return dash.page && dash.page.cards && dash.page.cards.count > 0; }, 10000);
            waitForRendering(dash);
            const card = dash.page.cards.itemAtIndex(0);
            mouseClick(findChild(card, "cardHeader"));
            verify(card.expanded);
            tryVerify(function() { return card.detail !== null; });
            mouseClick(findChild(card.detail, "editButton"));
            verify(Store.resources.formOpen);
            tryVerify(function() { return host.item && host.item.opened; });
            compare(host.item.form.email, card.acct.email);
            mouseClick(findChild(host.item.footer, "cancelForm"));
            compare(Store.resources.formOpen, false);

            // The header by keyboard: Space closes and opens the card.
            findChild(card, "cardHeader").forceActiveFocus();
            keyClick(Qt.Key_Space);
            verify(!card.expanded);
            keyClick(Qt.Key_Enter);
            verify(card.expanded);
        }

        // A card is opened for its account: when a reload re-orders the list, the opened card
        // moves with it and no other card opens.
        function test_cardFollowsItsAccount() {
            const dash = createTemporaryObject(dashboardComp, top);
            tryVerify(function() { return dash.page && dash.page.cards && dash.page.cards.count >= 3; }, 10000);
            waitForRendering(dash);
            const cards = dash.page.cards;
            const first = cards.itemAtIndex(0);
            const email = first.acct.email;
            mouseClick(findChild(first, "cardHeader"));
            verify(first.expanded);
            helper.swap(0, 2);
            tryVerify(function() { return cards.itemAtIndex(2) === first; });
            verify(!cards.itemAtIndex(0).expanded);
            verify(first.expanded);
            compare(first.acct.email, email);
        }

        // A row opens and closes by mouse; an open row keeps its detail (and the breakdown
        // loaded in it for its account) and an open deletion question survives a reload that
        // moves the row.
        function test_openRowSurvivesReload() {
            const panel = makePanel();
            mouseClick(findChild(findChild(panel, "modeSeg"), "seg_accounts"));
            tryCompare(panel.table.list, "model", panel.accountsModel);
            waitForRendering(panel);
            const d = firstAccountRow(panel);
            const id = d.accountId;
            const bar = findChild(d, "rowBar");
            mouseClick(bar, 300, 10);
            verify(Store.resources.expanded.indexOf(id) >= 0);
            mouseClick(bar, 300, 10);
            compare(Store.resources.expanded.indexOf(id), -1);
            mouseClick(bar, 300, 10);
            tryVerify(function() { return d.detail !== null && d.detail.breakdown.loaded; }, 5000);
            const detail = d.detail;
            compare(detail.breakdown.email, d.acct.email);
            mouseClick(findChild(detail, "deleteButton"));
            const dialog = detail.deleteDialog;
            tryVerify(function() { return dialog.opened; });
            verify(findChild(dialog.contentItem, "cancelDelete").activeFocus);

            helper.setSeven(id, 0.5);               // the row moves down
            waitForRendering(panel);
            verify(dialog.visible);
            const moved = rowOf(panel, id);
            verify(moved);
            compare(moved.detail, detail);
            verify(detail.breakdown.loaded);
            keyClick(Qt.Key_Escape);
            tryVerify(function() { return !dialog.visible; });
            verify(helper.hasAccount(id));          // Escape deletes nothing
        }

        function test_deleteFromDetail() {
            const panel = makePanel();
            const d = firstAccountRow(panel);
            const id = d.accountId;
            mouseClick(findChild(d, "rowBar"), 300, 10);
            // The detail settles (its breakdown and history arrive) before the bin is clicked.
            tryVerify(function() { return d.detail !== null && d.detail.breakdown.loaded; }, 5000);
            waitForRendering(panel);
            mouseClick(findChild(d.detail, "deleteButton"));
            const dialog = d.detail.deleteDialog;
            tryVerify(function() { return dialog.opened; });
            compare(findChild(dialog.contentItem, "deleteTitle").text,
                    "Удалить аккаунт " + d.acct.email + " из реестра?");
            mouseClick(findChild(dialog.contentItem, "confirmDelete"));
            tryVerify(function() { return !helper.hasAccount(id); }, 5000);
            compare(Store.toast, "Удалено");
        }

        // Every control the Tab key reaches has a name for assistive technology.
        function test_everyFocusableNamed() {
            const panel = makePanel();
            const d = firstAccountRow(panel);
            mouseClick(findChild(d, "rowBar"), 300, 10);
            tryVerify(function() { return d.detail !== null; });
            const host = createTemporaryObject(formHostComp, top);
            Store.resources.formEdit = panel.accountsModel.get(0);
            Store.resources.formOpen = true;
            tryVerify(function() { return host.item && host.item.opened; });
            host.item.form.authType = "api_key";
            compare(helper.unnamedFocusables(panel), []);
        }
    }
}

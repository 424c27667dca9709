pragma Singleton
import QtQuick

// The one table from the platform symbol names the screens use to Material Icons codepoints
// (MaterialIcons-Regular.ttf, bundled in resources/fonts). Screens name symbols the way the
// designs do ("arrow.clockwise"); only this file knows which glyph stands in for each.
// Draw them through the `Icon` item, which sets the icon font.
QtObject {
    readonly property string family: "Material Icons"

    readonly property var codes: ({
        "cpu": 0xe322, // memory
        "arrow.clockwise": 0xe5d5, // refresh
        "doc.on.doc": 0xe14d, // content_copy
        "checkmark": 0xe5ca, // check
        "exclamationmark.triangle.fill": 0xe002, // warning
        "checkmark.circle.fill": 0xe86c, // check_circle
        "checkmark.seal": 0xef76, // verified
        "gauge.with.dots.needle.67percent": 0xe9e4, // speed
        "square.grid.2x2": 0xe9b0, // grid_view
        "chart.line.uptrend.xyaxis": 0xe6e1, // show_chart
        "chart.bar": 0xe26b, // bar_chart
        "waveform.path.ecg": 0xeaa2, // monitor_heart
        "person.2.fill": 0xe7ef, // group
        "person.3": 0xf233, // groups
        "person.fill": 0xe7fd, // person
        "person.crop.circle": 0xe853, // account_circle
        "folder": 0xe2c8, // folder_open
        "folder.fill": 0xe2c7, // folder
        "checklist": 0xe6b1, // checklist
        "sidebar.left": 0xe9bd, // menu_open
        "rectangle.portrait.and.arrow.right": 0xe9ba, // logout
        "chevron.left": 0xe5cb, // chevron_left
        "chevron.right": 0xe5cc, // chevron_right
        "chevron.down": 0xe5cf, // expand_more
        "arrow.up": 0xe5d8, // arrow_upward
        "arrow.down": 0xe5db, // arrow_downward
        "arrow.up.arrow.down": 0xe8d5, // swap_vert
        "arrow.left.arrow.right": 0xe8d4, // swap_horiz
        "magnifyingglass": 0xe8b6, // search
        "plus": 0xe145, // add
        "trash": 0xe872, // delete
        "pencil": 0xe3c9, // edit
        "bell": 0xe7f4, // notifications
        "bell.badge.fill": 0xe004, // notification_important
        "key.fill": 0xe73c, // key
        "lock": 0xe897, // lock
        "lock.fill": 0xe897, // lock
        "xmark": 0xe5cd, // close
        "ellipsis": 0xe5d3, // more_horiz
        "circle.fill": 0xef4a, // circle
        "clock": 0xe8b5, // schedule
        "dollarsign.circle": 0xe263, // monetization_on
        "creditcard": 0xe870, // credit_card
        "desktopcomputer": 0xe30c, // desktop_windows
        "server.rack": 0xe875, // dns
        "calendar": 0xe935, // calendar_today
        "envelope": 0xe158, // mail
        "paperplane": 0xe163, // send
        "globe": 0xe894, // language
        "note.text": 0xf1fc, // sticky_note_2
        "bolt.fill": 0xea0b, // bolt
        "camera.fill": 0xe412, // photo_camera
        "line.3.horizontal.decrease.circle": 0xe152 // filter_list
    })

    // The glyph for a symbol name; an unknown name draws nothing rather than a wrong picture.
    function glyph(name) {
        const c = codes[name];
        return c === undefined ? "" : String.fromCodePoint(c);
    }
}

pragma Singleton
import QtQuick

// The dark palette and type scale of the client. Screens pick a colour by role from here and
// never write a raw colour; sizes are in pixels, one pixel standing for one design point.
QtObject {
    // Colour tokens, opaque sRGB.
    readonly property color bg: "#0F0F11"            // window background behind everything
    readonly property color content: "#1A1A1D"       // content area background
    readonly property color surface: "#202024"       // cards, tiles, idle chips and buttons
    readonly property color surfaceRaised: "#26262A" // raised/selected/pressed surfaces, fields, tracks
    readonly property color border: "#2C2C31"        // 1-px outlines of cards, fields, chips
    readonly property color text: "#F2F2F3"          // primary text
    readonly property color textSecondary: "#9C9CA3" // secondary text, labels
    readonly property color textTertiary: "#6E6E75"  // hints, counts, idle icons
    readonly property color accent: "#D97857"        // buttons, highlights, monogram
    readonly property color accentPressed: "#C56646" // accent while a button is held down
    readonly property color warn: "#E0A24B"          // warnings
    readonly property color danger: "#D9584E"        // errors, critical states
    readonly property color ok: "#5FB574"            // success, healthy states

    // Text is set in the bundled face, Noto Sans (resources/fonts), which loadBundledFonts() makes
    // the application font once, so no item names it. Its digits are all one width, so counters and
    // countdowns do not jitter as they change.

    // Text styles, pixel sizes close to the desktop system styles at 1x, sized for a window of
    // about 1320x840. "The smallest caption size" in the designs is caption2.
    readonly property int largeTitle: 26
    readonly property int title: 22
    readonly property int title2: 17
    readonly property int title3: 15
    readonly property int headline: 13       // drawn semibold (headlineWeight)
    readonly property int body: 13
    readonly property int callout: 12
    readonly property int subheadline: 11
    readonly property int footnote: 11
    readonly property int caption: 11
    readonly property int caption2: 10
    readonly property int headlineWeight: Font.DemiBold

    // Role name -> colour, for rules computed in C++ that answer with a role ("danger", "warn",
    // "accent", "ok", ...). An unknown role falls back to the accent.
    function role(name) {
        switch (name) {
        case "danger": return danger
        case "warn": return warn
        case "ok": return ok
        case "text": return text
        case "textSecondary": return textSecondary
        case "textTertiary": return textTertiary
        case "border": return border
        default: return accent
        }
    }
}

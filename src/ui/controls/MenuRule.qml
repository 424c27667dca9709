import QtQuick
import QtQuick.Controls.Basic
import Corvane

// The divider between groups of menu entries.
MenuSeparator {
    topPadding: 3
    bottomPadding: 3
    contentItem: Divider {}
}

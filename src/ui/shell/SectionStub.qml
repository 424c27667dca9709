import QtQuick
import QtQuick.Layouts
import Corvane

// A section whose screen is still to come: its title and a placeholder.
ColumnLayout {
    id: root
    property string key
    property string icon
    spacing: 12

    Header {
        title: Shell.navTitle(root.key)
    }
    Placeholder {
        icon: root.icon
        title: Shell.navTitle(root.key)
        note: "Раздел в разработке."
    }
}

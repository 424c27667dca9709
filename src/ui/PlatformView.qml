import QtQuick
import QtQuick.Layouts
import Corvane

// The working application: sidebar, a 1 px divider, and the content column (relogin banner
// over the selected section, or the profile under a back row). The toast floats over it.
Rectangle {
    id: root
    objectName: "platformView"
    color: T.bg
    readonly property string section: Shell.sectionView
    readonly property alias sectionItem: sectionLoader.item

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Sidebar {
            Layout.fillHeight: true
        }
        Divider {
            vertical: true
        }
        Rectangle {
            id: contentArea
            objectName: "contentArea"
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: T.content
            clip: true

            ColumnLayout {
                anchors.fill: parent
                spacing: 0

                ReloginBanner {
                    Layout.fillWidth: true
                    visible: Store.needsRelogin
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.margins: 24
                    spacing: 12

                    BackRow {
                        visible: Store.showProfile
                    }
                    StaleLine {
                        Layout.fillWidth: true
                    }
                    Loader {
                        id: sectionLoader
                        objectName: "sectionLoader"
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        source: root.section + ".qml"
                    }
                }
            }

            Toast {
                anchors.fill: parent
            }
        }
    }

    AccountFormHost {}
}

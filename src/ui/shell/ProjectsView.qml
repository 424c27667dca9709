pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The projects seen in the team's sessions and devices (administrators) or in the user's own
// accounts; Shell.projects decides the list.
ColumnLayout {
    id: root
    objectName: "projectsView"
    readonly property var projects: Shell.projects
    spacing: 12

    Header {
        title: "Проекты"
        refresh: function() { Shell.refreshProjects() }
    }
    Placeholder {
        objectName: "projectsPlaceholder"
        visible: root.projects.length === 0
        icon: "folder"
        title: "Проекты"
        note: "Здесь будут проекты, над которыми работает команда."
    }
    ListView {
        id: list
        objectName: "projectsList"
        Layout.fillWidth: true
        Layout.fillHeight: true
        visible: root.projects.length > 0
        clip: true
        spacing: 8
        model: root.projects
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}
        delegate: Rectangle {
            id: project
            required property string modelData
            width: ListView.view.width
            implicitHeight: row.implicitHeight + 24
            radius: 10
            color: T.surface
            RowLayout {
                id: row
                anchors.fill: parent
                anchors.margins: 12
                spacing: 10
                Icon {
                    name: "folder.fill"
                    size: 16
                    color: T.accent
                }
                CvText {
                    objectName: "projectName"
                    Layout.fillWidth: true
                    text: project.modelData
                    elide: Text.ElideRight
                    role: CvText.Body
                }
            }
        }
    }
}

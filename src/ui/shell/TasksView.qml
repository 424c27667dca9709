import QtQuick
import QtQuick.Layouts
import Corvane

// Team tasks: not here yet.
ColumnLayout {
    objectName: "tasksView"
    spacing: 12

    Header {
        title: "Задачи"
    }
    Placeholder {
        icon: "checklist"
        title: "Задачи"
        note: "Постановка и трекинг задач команды.\nСкоро."
    }
    Item { Layout.fillHeight: true }
}

pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import Corvane

// Machine set-up in progress: the four steps tick as the installer reports them. No controls:
// the screen only follows Store.steps, installDone, error and the phase.
Rectangle {
    id: root
    objectName: "onboardingView"
    color: T.bg

    ColumnLayout {
        anchors.centerIn: parent
        width: 380
        spacing: 12

        FormTitle {
            Layout.bottomMargin: 8
            title: "Настраиваю твой компьютер"
            hint: Store.installDone ? "Готово ✅ Открываю платформу…"
                                    : "Это займёт минуту. Ничего не нажимай."
        }
        Rectangle {
            objectName: "stepsCard"
            Layout.preferredWidth: 380
            implicitHeight: steps.implicitHeight + 28
            radius: 12
            color: T.surface
            border.width: 1
            border.color: T.border

            ColumnLayout {
                id: steps
                x: 16
                y: 14
                width: parent.width - 32
                spacing: 10

                // A positioner holds the steps, which change as set-up runs (see DevicesColumn).
                Column {
                    id: stepList
                    Layout.fillWidth: true
                    spacing: steps.spacing
                    Repeater {
                        model: Store.steps
                        delegate: RowLayout {
                            id: step
                            required property var modelData
                            objectName: "step"
                            width: stepList.width
                            readonly property bool done: step.modelData.done
                            spacing: 10
                            Item {
                                implicitWidth: 16
                                implicitHeight: 16
                                Icon {
                                    anchors.centerIn: parent
                                    visible: step.modelData.done
                                    name: "checkmark.circle.fill"
                                    size: 16
                                    color: T.ok
                                }
                                Spinner {
                                    anchors.centerIn: parent
                                    running: !step.modelData.done
                                    size: 13
                                }
                            }
                            CvText {
                                Layout.fillWidth: true
                                text: step.modelData.label
                                elide: Text.ElideRight
                                role: CvText.Body
                            }
                        }
                    }
                }
            }
        }
        ErrorText {}
    }
}

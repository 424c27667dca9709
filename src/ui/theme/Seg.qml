pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import Corvane

// A segmented switch over `items` ({key, label}, and `name` for the object name where `key` is an
// enum value). `sel` is the selected key. A tap emits
// `picked(key)` and then sets `sel` unless it already equals the key, so a caller that binds
// `sel` to its own state and writes that state in onPicked keeps its binding intact.
Item {
    id: root
    property var items: []
    property var sel
    signal picked(var key)

    implicitWidth: row.implicitWidth
    implicitHeight: row.implicitHeight

    function pick(key) {
        root.picked(key);
        if (root.sel !== key)
            root.sel = key;
    }
    // Arrow keys move the selection to the neighbouring item and keep the focus on it.
    function step(from, delta) {
        const i = from + delta;
        if (i < 0 || i >= root.items.length)
            return;
        root.pick(root.items[i].key);
        const next = segments.itemAt(i);
        if (next)
            next.forceActiveFocus(Qt.TabFocusReason);
    }

    Row {
        id: row
        spacing: 0
        Repeater {
            id: segments
            model: root.items
            delegate: Button {
                id: seg
                required property var modelData
                required property int index
                readonly property bool selected: seg.modelData.key === root.sel
                readonly property bool first: index === 0
                readonly property bool last: index === root.items.length - 1

                objectName: "seg_" + (seg.modelData.name ?? seg.modelData.key)
                flat: true
                hoverEnabled: true
                leftPadding: 12
                rightPadding: 12
                topPadding: 5
                bottomPadding: 5
                text: seg.modelData.label
                Accessible.name: seg.modelData.label
                onClicked: root.pick(seg.modelData.key)
                Keys.onLeftPressed: root.step(seg.index, -1)
                Keys.onRightPressed: root.step(seg.index, 1)

                FocusRing {
                    inset: 1
                    cornerRadius: 6
                }
                contentItem: CvText {
                    text: seg.text
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    color: seg.selected || seg.hovered ? T.text : T.textSecondary
                    role: CvText.Caption
                }
                // Rounded only on the outer ends of the row: a radius-8 plate with its inner
                // corners squared off by a plain rectangle.
                background: Item {
                    readonly property color fill: seg.selected || seg.down ? T.surfaceRaised : T.surface
                    Rectangle {
                        anchors.fill: parent
                        radius: seg.first || seg.last ? 8 : 0
                        color: parent.fill
                    }
                    Rectangle {
                        visible: (seg.first || seg.last) && !(seg.first && seg.last)
                        width: parent.width / 2
                        height: parent.height
                        x: seg.first ? parent.width / 2 : 0
                        color: parent.fill
                    }
                }
            }
        }
    }

    Rectangle {
        anchors.fill: row
        radius: 8
        color: "transparent"
        border.width: 1
        border.color: T.border
    }
}

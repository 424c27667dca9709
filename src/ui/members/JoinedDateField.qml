import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// A date picker: the chosen day on a field-style button; a click opens a month grid in a
// pop-up. Arrows move the highlighted day, Enter or a click picks it, Escape closes.
// `picked(year, month, day)` carries the choice (month 1..12).
Button {
    id: control
    property int year
    property int month
    property int day
    property string dateText
    property string accessibleName
    signal picked(int year, int month, int day)

    hoverEnabled: true
    leftPadding: 12
    rightPadding: 12
    topPadding: 10
    bottomPadding: 10
    Accessible.name: control.accessibleName + ": " + control.dateText
    onClicked: popup.open()
    Keys.onReturnPressed: popup.open()
    Keys.onDownPressed: popup.open()

    contentItem: RowLayout {
        spacing: 8
        Icon {
            name: "calendar"
            size: 14
            color: T.textSecondary
        }
        Text {
            objectName: "dateText"
            Layout.fillWidth: true
            text: control.dateText
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: T.text
            font.pixelSize: 13
        }
    }
    background: Rectangle {
        implicitWidth: 160
        radius: 10
        color: T.surfaceRaised
        border.width: 1
        border.color: control.visualFocus || popup.visible ? Qt.rgba(T.accent.r, T.accent.g, T.accent.b, 0.6)
                    : control.hovered ? Qt.lighter(T.border, 1.35) : T.border
    }

    Popup {
        id: popup
        objectName: "datePopup"
        z: 10 // above the sheet it is opened from
        y: control.height + 4
        width: 264
        padding: 10
        focus: true
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutsideParent

        // The month on show and the highlighted day.
        property int viewYear: control.year
        property int viewMonth: control.month
        property var cursor: ({ "year": 0, "month": 0, "day": 0 })

        function showMonth(y, m) { viewYear = y; viewMonth = m }
        function step(delta) {
            const next = Forms.shiftMonth(viewYear, viewMonth, delta);
            showMonth(next.year, next.month);
        }
        function moveCursor(days) {
            cursor = Forms.addDays(cursor.year, cursor.month, cursor.day, days);
            if (cursor.year !== viewYear || cursor.month !== viewMonth)
                showMonth(cursor.year, cursor.month);
        }
        function choose(y, m, d) {
            control.picked(y, m, d);
            popup.close();
            control.forceActiveFocus();
        }

        onAboutToShow: {
            showMonth(control.year, control.month);
            cursor = { "year": control.year, "month": control.month, "day": control.day };
        }

        background: Rectangle {
            radius: 10
            color: T.surfaceRaised
            border.width: 1
            border.color: T.border
        }

        contentItem: FocusScope {
            implicitHeight: col.implicitHeight
            focus: true
            Keys.onLeftPressed: popup.moveCursor(-1)
            Keys.onRightPressed: popup.moveCursor(1)
            Keys.onUpPressed: popup.moveCursor(-7)
            Keys.onDownPressed: popup.moveCursor(7)
            Keys.onPressed: (event) => {
                if (event.key === Qt.Key_PageUp) { popup.step(-1); event.accepted = true }
                else if (event.key === Qt.Key_PageDown) { popup.step(1); event.accepted = true }
            }
            Keys.onReturnPressed: popup.choose(popup.cursor.year, popup.cursor.month, popup.cursor.day)
            Keys.onEnterPressed: popup.choose(popup.cursor.year, popup.cursor.month, popup.cursor.day)

            ColumnLayout {
                id: col
                anchors.fill: parent
                spacing: 6
                RowLayout {
                    Layout.fillWidth: true
                    IconButton {
                        objectName: "prevMonth"
                        symbol: "chevron.left"
                        focusPolicy: Qt.NoFocus
                        Accessible.name: "Предыдущий месяц"
                        onClicked: popup.step(-1)
                    }
                    CvText {
                        objectName: "monthTitle"
                        Layout.fillWidth: true
                        horizontalAlignment: Text.AlignHCenter
                        text: Forms.monthTitle(popup.viewYear, popup.viewMonth)
                        role: CvText.Callout
                        font.weight: Font.DemiBold
                    }
                    IconButton {
                        objectName: "nextMonth"
                        symbol: "chevron.right"
                        focusPolicy: Qt.NoFocus
                        Accessible.name: "Следующий месяц"
                        onClicked: popup.step(1)
                    }
                }
                DayOfWeekRow {
                    Layout.fillWidth: true
                    // Qt 6.4 describes no QLocale type to qmllint, so it cannot check a locale binding.
                    locale: grid.locale // qmllint disable type
                    delegate: CvText {
                        required property string shortName
                        text: shortName
                        horizontalAlignment: Text.AlignHCenter
                        color: T.textTertiary
                        role: CvText.Caption2
                    }
                }
                MonthGrid {
                    id: grid
                    objectName: "monthGrid"
                    Layout.fillWidth: true
                    year: popup.viewYear
                    month: Math.max(0, popup.viewMonth - 1)
                    locale: Qt.locale("ru_RU") // qmllint disable type
                    delegate: Rectangle {
                        id: cell
                        required property int day
                        required property int month
                        required property int year
                        // The cells need the picker's state, and MonthGrid (Qt 6.4) sets context
                        // properties on its cells, which a file bound by pragma ComponentBehavior
                        // refuses: the outer ids stay unbound and out of the linter's reach.
                        // qmllint disable unqualified
                        readonly property bool inMonth: cell.month === grid.month
                        readonly property bool chosen: cell.year === control.year && cell.month + 1 === control.month
                                                        && cell.day === control.day
                        readonly property bool highlighted: cell.year === popup.cursor.year
                                                            && cell.month + 1 === popup.cursor.month
                                                            && cell.day === popup.cursor.day
                        // qmllint enable unqualified
                        implicitWidth: 30
                        implicitHeight: 26
                        radius: 6
                        color: cell.chosen ? T.accent : cell.highlighted || dayMouse.containsMouse ? T.surface : "transparent"
                        border.width: cell.highlighted && !cell.chosen ? 1 : 0
                        border.color: T.border
                        CvText {
                            anchors.centerIn: parent
                            text: cell.day
                            color: cell.chosen ? "white" : cell.inMonth ? T.text : T.textTertiary
                            role: CvText.Caption
                        }
                        MouseArea {
                            id: dayMouse
                            anchors.fill: parent
                            hoverEnabled: true
                            onClicked: popup.choose(cell.year, cell.month + 1, cell.day) // qmllint disable unqualified
                        }
                    }
                }
            }
        }
    }
}

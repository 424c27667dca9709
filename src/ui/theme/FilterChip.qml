import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// A capsule filter button: optional provider logo, title and count. `tap` fires on click.
Button {
    id: control
    property string title
    property int count: 0
    property bool active: false
    property string logo: "" // provider key; empty = no logo
    signal tap()

    flat: true
    hoverEnabled: true
    leftPadding: 10
    rightPadding: 10
    topPadding: 5
    bottomPadding: 5
    onClicked: control.tap()

    FocusRing { cornerRadius: control.height / 2 }

    contentItem: RowLayout {
        spacing: 5
        ProviderLogo {
            objectName: "chipLogo"
            visible: control.logo !== ""
            provider: control.logo
            size: 13
        }
        CvText {
            text: control.title
            color: control.active || control.hovered ? T.text : T.textSecondary
            role: CvText.Caption
        }
        Text {
            text: String(control.count)
            textFormat: Text.PlainText
            color: T.textTertiary
            font.pixelSize: 10
        }
    }

    background: Rectangle {
        radius: height / 2
        color: control.active || control.down ? T.surfaceRaised : T.surface
        border.width: 1
        border.color: control.active ? Qt.rgba(T.textTertiary.r, T.textTertiary.g, T.textTertiary.b, 0.4)
                                     : T.border
    }
}

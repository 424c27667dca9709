import QtQuick
import Corvane

// Text in one style of the type scale (T): `role` picks the size and weight; the colour is the
// primary text colour unless the item sets its own. Plain text by default, as every server string
// is shown.
Text {
    enum Role { LargeTitle, Title, Title2, Title3, Headline, Body, Callout, Subheadline, Footnote, Caption, Caption2 }
    property int role: CvText.Body

    textFormat: Text.PlainText
    color: T.text
    font.pixelSize: {
        switch (role) {
        case CvText.LargeTitle: return T.largeTitle
        case CvText.Title: return T.title
        case CvText.Title2: return T.title2
        case CvText.Title3: return T.title3
        case CvText.Headline: return T.headline
        case CvText.Callout: return T.callout
        case CvText.Subheadline: return T.subheadline
        case CvText.Footnote: return T.footnote
        case CvText.Caption: return T.caption
        case CvText.Caption2: return T.caption2
        default: return T.body
        }
    }
    font.weight: role === CvText.Headline ? T.headlineWeight : Font.Normal
}

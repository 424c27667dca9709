import QtQuick
import Corvane

// The run-out line under a gauge of one of the member's own accounts (`acct`, an Acct): its
// window's line, kept current by OwnForecast.
ForecastLine {
    property alias acct: source.acct
    property alias window: source.window

    text: source.text
    tone: source.tone

    OwnForecast { id: source }
}

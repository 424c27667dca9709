import QtQuick
import Corvane

// The "stats" section; its screen is still to come.
SectionStub {
    objectName: "statsView"
    key: "stats"
    icon: "chart.line.uptrend.xyaxis"
}

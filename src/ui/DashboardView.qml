import QtQuick
import Corvane

// The "dashboard" section; its screen is still to come.
SectionStub {
    objectName: "dashboardView"
    key: "dashboard"
    icon: "square.grid.2x2"
}

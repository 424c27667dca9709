import QtQuick
import Corvane

// The "team" section; its screen is still to come.
SectionStub {
    objectName: "teamView"
    key: "team"
    icon: "person.2.fill"
}

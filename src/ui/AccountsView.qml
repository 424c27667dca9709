import QtQuick
import Corvane

// The "accounts" section; its screen is still to come.
SectionStub {
    objectName: "accountsView"
    key: "accounts"
    icon: "cpu"
}

import QtQuick
import Corvane

// The "activity" section; its screen is still to come.
SectionStub {
    objectName: "activityView"
    key: "activity"
    icon: "waveform.path.ecg"
}

import QtQuick
import QtQuick.Layouts
import Corvane

// The "AI ресурсы" section: the team's resources panel for an administrator, the user's own
// accounts for anyone else.
Loader {
    id: root
    objectName: "accountsView"
    sourceComponent: Store.isAdmin ? panel : own

    Component {
        id: panel
        AccountsPanel {}
    }
    Component {
        id: own
        ColumnLayout {
            objectName: "ownAccountsPage"
            spacing: 14
            Header {
                title: "Аккаунты"
                refresh: function() { Store.refreshHome() }
            }
            OwnAccounts {
                Layout.fillWidth: true
                Layout.fillHeight: true
                icon: "creditcard"
                title: "Пока пусто"
                note: "Аккаунты появятся после запуска Claude Code."
            }
        }
    }
}

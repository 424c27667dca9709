import QtQuick
import Corvane

// Shows the account form whenever Store.resources.formOpen is set, from whichever section asked for
// it (the panel's "Аккаунт", a detail's "Редактировать" in the table or on a dashboard card). A
// fresh form is made for each opening, so a cancelled edit leaves nothing behind.
Loader {
    id: root
    objectName: "accountFormHost"
    active: Store.resources.formOpen && Store.isAdmin
    sourceComponent: AccountForm {}
}

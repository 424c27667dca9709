#pragma once
// The screenshot mode's views of the AI resources screens in a given state: "accounts:flat"
// (the flat list), "accounts:expanded" (first row open), "accounts:form" (new account),
// "accounts:edit" (the form on the first account) and "dashboard:expanded" (first card open).

#include <QString>

class QQuickWindow;
class Store;

namespace shotvariant {

// The section of a screen name ("accounts" for "accounts:flat"), and its variant ("flat").
QString baseScreen(const QString &name);
QString variant(const QString &name);
// Whether `name` is a section with a variant this mode knows.
bool known(const QString &name);
// Set when the section is opened, before its data load.
void beforeLoad(Store *store, const QString &name);
// Set once the section's data are in; false while what it needs is not there yet. For anyone
// but an administrator the section is taken as it is.
bool apply(Store *store, QQuickWindow *window, const QString &name);
// Whatever the variant shows has finished loading (an opened detail's breakdown, say).
bool settled(QQuickWindow *window);

} // namespace shotvariant

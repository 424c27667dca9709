#pragma once
// The update checker as the screens see it (QML singleton `AppUpdater`): the state of the last
// check, a manual check, and the Russian text of the result dialog. It never installs anything;
// a found release can only be looked at through its link, and only when the link is safe.
//
// The result dialog belongs to the main window, not to the profile screen that asks for the
// check, so it still opens when the user has moved on. A scheduled check that finds a newer
// version announces it once per version (newVersionFound); a version the user has already been
// shown by a manual check is not announced again.

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;
class Updater;

class AppUpdater : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    Q_PROPERTY(bool checking READ checking NOTIFY checkingChanged)
    Q_PROPERTY(QString resultKind READ resultKind NOTIFY resultChanged)
    Q_PROPERTY(QString title READ title NOTIFY resultChanged)
    Q_PROPERTY(QString message READ message NOTIFY resultChanged)
    Q_PROPERTY(QString notes READ notes NOTIFY resultChanged)
    Q_PROPERTY(bool canOpenLink READ canOpenLink NOTIFY resultChanged)
    Q_PROPERTY(QString currentVersion READ currentVersion CONSTANT)

public:
    AppUpdater(Updater *updater, QObject *parent);
    static void setInstance(AppUpdater *u);
    static AppUpdater *instance();
    static AppUpdater *create(QQmlEngine *, QJSEngine *);

    bool checking() const;
    QString resultKind() const;
    QString title() const;
    QString message() const;
    QString notes() const;
    bool canOpenLink() const;
    QString currentVersion() const;

    // The dialog's wording for a result kind ("found", "none", "error").
    static QString titleFor(const QString &kind);
    static QString messageFor(const QString &kind, const QString &version, const QString &error);

    Q_INVOKABLE void checkForUpdates();
    // Asks the main window to show the result dialog.
    Q_INVOKABLE void showDialog() { Q_EMIT dialogRequested(); }
    Updater *updater() const;
    // Opens the release page in the browser, only when the updater calls the link safe.
    Q_INVOKABLE bool openLink();

Q_SIGNALS:
    void checkingChanged();
    void resultChanged();
    // A check the user asked for has ended; dialogRequested() follows.
    void checkFinished();
    // The main window opens the result dialog.
    void dialogRequested();
    // A scheduled check found a version not announced before (title and message as in the dialog).
    void newVersionFound();

private:
    void onScheduledCheck();
    QString foundKey() const;

    QPointer<Updater> m_updater;
    QString m_announced;   // version and build of the release last shown to the user
};

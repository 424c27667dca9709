#pragma once
// The update checker as the screens see it (QML singleton `AppUpdater`): the state of the last
// check, a manual check, and the Russian text of the result dialog. It never installs anything;
// a found release can only be looked at through its link, and only when the link is safe.

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
    // Opens the release page in the browser, only when the updater calls the link safe.
    Q_INVOKABLE bool openLink();

Q_SIGNALS:
    void checkingChanged();
    void resultChanged();
    // A check the user asked for has ended; the screen shows the dialog.
    void checkFinished();

private:
    QPointer<Updater> m_updater;
};

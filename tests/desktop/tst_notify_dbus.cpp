// The notification sender against a fake org.freedesktop.Notifications on a private session
// bus (the desktop suite runs under dbus-run-session), and its fallback when no service answers.
#include "app/dbusnotify.h"
#include "testmain.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>
#include <QVariantMap>

class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QList<QStringList> calls; // app, summary, body, the desktop-entry hint

public Q_SLOTS:
    uint Notify(const QString &app, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &hints, int)
    {
        calls.append({app, summary, body, hints.value("desktop-entry").toString()});
        return uint(calls.size());
    }
};

class TstNotifyDbus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session");
    }

    void deliveredToTheService()
    {
        // The fake owns the name on a connection of its own, as a separate daemon would.
        QDBusConnection fakeBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-notifications");
        FakeNotifications fake;
        QVERIFY(fakeBus.registerObject("/org/freedesktop/Notifications", &fake, QDBusConnection::ExportAllSlots));
        QVERIFY(fakeBus.registerService("org.freedesktop.Notifications"));

        DBusNotifications sender;
        int fallbacks = 0;
        sender.setFallback([&](const QString &, const QString &) { ++fallbacks; });
        QSignalSpy delivered(&sender, &DBusNotifications::delivered);
        sender.show("Использовано 95% · 5 часов", "me@x <b>&</b>");
        QVERIFY(delivered.wait(5000));
        // The body is never read as markup.
        QCOMPARE(fake.calls, QList<QStringList>({{"Corvane Team", "Использовано 95% · 5 часов",
                                                  "me@x &lt;b&gt;&amp;&lt;/b&gt;", "com.corvane.team"}}));
        QCOMPARE(fallbacks, 0);

        fakeBus.unregisterService("org.freedesktop.Notifications");
        QDBusConnection::disconnectFromBus("fake-notifications");
    }

    void fallsBackWithoutTheService()
    {
        DBusNotifications sender;
        QStringList shown;
        sender.setFallback([&](const QString &t, const QString &b) { shown << t + " / " + b; });
        QSignalSpy fell(&sender, &DBusNotifications::fellBack);
        sender.show("Лимит сброшен · 7 дней", "me@x");
        QVERIFY(fell.wait(15000));
        QCOMPARE(shown, QStringList{"Лимит сброшен · 7 дней / me@x"});
    }
};

CORVANE_TEST_CLASS(TstNotifyDbus)
#include "tst_notify_dbus.moc"

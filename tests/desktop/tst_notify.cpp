// When limit notices go out, once per window and period, and that a restart does not repeat them.
#include "app/dbusnotify.h"
#include "app/notifier.h"
#include "core/clock.h"
#include "core/format.h"
#include "core/notifyrules.h"
#include "kit.h"
#include "store/forecasts.h"
#include "testmain.h"

#include <QTest>

using namespace notifyrules;

namespace {
constexpr double T0 = 1'800'000'000;
constexpr double R1 = T0 + 3600, R2 = R1 + 5 * 3600;

struct Step {
    double at = 0; // seconds after T0
    double pct = 0;
    double reset = R1;
    double runOut = 0; // seconds after T0, 0 for none
};

struct Recorder : NotificationSink {
    QStringList shown;
    void show(const QString &title, const QString &body) override { shown << title + " / " + body; }
};

Acct own(double five, double fiveReset = R1)
{
    Acct a;
    a.email = "me@x";
    a.fivePct = five;
    a.fiveReset = fiveReset;
    return a;
}
} // namespace
Q_DECLARE_METATYPE(QList<Step>)

class TstNotify : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Clock::reset(); }

    // One five-hour window read step by step: the kinds told at each step ("" for none).
    void decisions_data()
    {
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<QStringList>("told");
        QTest::newRow("80 and 95 once each")
            << QList<Step>{{0, 70}, {60, 81}, {120, 85}, {180, 96}, {240, 97}} << QStringList{"", "80", "", "95", ""};
        QTest::newRow("both passed at once: one notice") << QList<Step>{{0, 96}, {60, 80}} << QStringList{"95", ""};
        QTest::newRow("reset after passing 80")
            << QList<Step>{{0, 85}, {3700, 5, R2}, {3760, 6, R2}} << QStringList{"80", "reset", ""};
        QTest::newRow("reset of a window that stayed low") << QList<Step>{{0, 50}, {3700, 5, R2}} << QStringList{"", ""};
        QTest::newRow("next period passes 80 again")
            << QList<Step>{{0, 85}, {3700, 82, R2}} << QStringList{"80", "reset,80"};
        QTest::newRow("runs out within 30 minutes, once")
            << QList<Step>{{0, 60, R1, 1500}, {60, 61, R1, 1400}} << QStringList{"soon", ""};
        QTest::newRow("runs out in 40 minutes") << QList<Step>{{0, 60, R1, 2400}} << QStringList{""};
        QTest::newRow("runs out only after the reset")
            << QList<Step>{{0, 60, T0 + 600, 1200}} << QStringList{""};
        QTest::newRow("unknown reset: falling below half starts over")
            << QList<Step>{{0, 85, 0}, {60, 30, 0}, {120, 85, 0}} << QStringList{"80", "", "80"};
        QTest::newRow("a reset past any date is unknown")
            << QList<Step>{{0, 85, 1e300}, {60, 30, 1e300}, {120, 85, 1e300}} << QStringList{"80", "", "80"};
    }
    void decisions()
    {
        QFETCH(QList<Step>, steps);
        QStringList told;
        QSet<QString> tags;
        for (const Step &s : steps) {
            const Window w{"me@x", "five", s.pct, s.reset, s.runOut > 0 ? T0 + s.runOut : 0, false};
            QStringList kinds;
            for (const Note &n : decide({w}, tags, {}, T0 + s.at))
                kinds << n.tag.section('|', 0, 0);
            told << kinds.join(',');
        }
        QTEST(told, "told");
    }

    void switchedOffIsNotToldLaterEither()
    {
        QSet<QString> tags;
        const Window w{"me@x", "seven", 85, R1, 0, false};
        QVERIFY(decide({w}, tags, {.thresholds = false}, T0).isEmpty());
        QVERIFY(decide({w}, tags, {}, T0 + 60).isEmpty());
        const Window team{"t@x", "seven", 99, R1, 0, true};
        QVERIFY(decide({team}, tags, {}, T0).isEmpty()); // team notices are off by default
        QCOMPARE(decide({team}, tags, {.team = true}, T0).size(), 1);
        // A week and a day after its period ended, a tag is forgotten.
        decide({}, tags, {}, R1 + kKeepTold + 60);
        QVERIFY(tags.isEmpty());
    }

    // Readings through the Store, the switches and the told tags through its settings file.
    void onceAcrossRestarts()
    {
        StoreFixture f;
        f.signedIn("http://127.0.0.1:9");
        Clock::setFixed(T0);
        Recorder first;
        {
            Forecasts fc(f.store.get(), nullptr);
            Notifier n(f.store.get(), &fc, &first, nullptr);
            f->home()->setAccounts({own(85)});
            f->home()->setAccounts({own(86)});
            n.setRunOut(false);
        }
        QCOMPARE(first.shown, QStringList{"Использовано 80% · 5 часов / me@x · сброс " + fmt::resetText(R1)});

        Recorder second;
        Forecasts fc(f.store.get(), nullptr);
        Notifier n(f.store.get(), &fc, &second, nullptr);
        QVERIFY(!n.runOut());
        QVERIFY(n.thresholds());
        f->home()->setAccounts({own(87)});
        QVERIFY(second.shown.isEmpty());
        Clock::setFixed(R1 + 60);
        f->home()->setAccounts({own(3, R2)});
        QCOMPARE(second.shown, QStringList{"Лимит сброшен · 5 часов / me@x"});
        f->logOut();
        f->home()->setAccounts({own(96, R2)}); // signed out: nothing
        QCOMPARE(second.shown.size(), 1);
    }
};

CORVANE_TEST_CLASS(TstNotify)
#include "tst_notify.moc"

// What the AI resources screens show: colour boundaries of the gauges and cells, the registry
// column, device lines, the dashboard card's decisions and tiles, and figures that are not finite.
#include "core/acview.h"
#include "core/clock.h"
#include "core/format.h"
#include "testmain.h"

#include <QTest>
#include <cmath>
#include <limits>

using namespace acview;

namespace {
constexpr double NOW = 1700000000;
const double INF = std::numeric_limits<double>::infinity();

QString items(const QList<RegistryItem> &l)
{
    QStringList out;
    for (const RegistryItem &i : l)
        out << i.label + '=' + i.value + (i.tone == "text" ? QString() : '[' + i.tone + ']');
    return out.join(" | ");
}
} // namespace

class TstAcView : public QObject
{
    Q_OBJECT
private slots:
    void init() { Clock::setFixed(NOW); }
    void cleanup() { Clock::reset(); }

    void gaugeBoundaries_data()
    {
        QTest::addColumn<double>("pct");
        QTest::addColumn<QString>("cellText");
        QTest::addColumn<QString>("cellTone");
        QTest::addColumn<QString>("barTone");
        QTest::addColumn<double>("frac");
        QTest::addColumn<QString>("teamTone");
        QTest::newRow("0") << 0.0 << "—" << "textTertiary" << "textTertiary" << 0.0 << "accent";
        QTest::newRow("negative") << -5.0 << "—" << "textTertiary" << "textTertiary" << 0.0 << "accent";
        QTest::newRow("0.5") << 0.5 << "0%" << "text" << "textTertiary" << 0.005 << "accent";
        QTest::newRow("60") << 60.0 << "60%" << "text" << "textTertiary" << 0.6 << "accent";
        QTest::newRow("60.5") << 60.5 << "60%" << "warn" << "warn" << 0.605 << "accent";
        QTest::newRow("74.9") << 74.9 << "74%" << "warn" << "warn" << 0.749 << "accent";
        QTest::newRow("75") << 75.0 << "75%" << "warn" << "warn" << 0.75 << "warn";
        QTest::newRow("80") << 80.0 << "80%" << "warn" << "warn" << 0.8 << "warn";
        QTest::newRow("80.1") << 80.1 << "80%" << "danger" << "danger" << 0.801 << "warn";
        QTest::newRow("90") << 90.0 << "90%" << "danger" << "danger" << 0.9 << "danger";
        QTest::newRow("120 is a full bar") << 120.0 << "120%" << "danger" << "danger" << 1.0 << "danger";
        QTest::newRow("NaN") << std::nan("") << "—" << "textTertiary" << "textTertiary" << 0.0 << "accent";
        QTest::newRow("infinite") << INF << "—" << "danger" << "danger" << 0.0 << "danger";
        QTest::newRow("beyond 64 bits") << 1e300 << "—" << "danger" << "danger" << 1.0 << "danger";
    }
    void gaugeBoundaries()
    {
        QFETCH(double, pct);
        QTEST(cellGaugeText(pct), "cellText");
        QTEST(cellGaugeTone(pct), "cellTone");
        QTEST(cellBarTone(pct), "barTone");
        QFETCH(double, frac);
        QCOMPARE(fraction(pct), frac);
        QTEST(teamGaugeTone(pct), "teamTone");
    }

    void rowCells()
    {
        TeamAcct a;
        // Top model: danger above 80, warn above 60, text otherwise; "—" without models.
        QCOMPARE(topModelCell(a).text, QString("—"));
        QCOMPARE(topModelCell(a).tone, QString("textTertiary"));
        for (auto [pct, tone] : {std::pair{60.0, "text"}, {60.5, "warn"}, {80.0, "warn"}, {81.0, "danger"}}) {
            a.weeklyScoped = {};
            ScopedModel m;
            m.model = "claude-opus-4-1-20250805";
            m.pct = pct;
            a.weeklyScoped << m;
            QCOMPARE(topModelCell(a).tone, QString(tone));
        }
        QCOMPARE(topModelCell(a).text, QString("opus-4-1 81%"));
        // Resets: "—" without a time, tertiary once passed.
        QCOMPARE(fiveResetCell(0).text, QString("—"));
        QCOMPARE(fiveResetCell(NOW + 5400).text, QString("1ч 30м"));
        QCOMPARE(fiveResetCell(NOW + 5400).tone, QString("text"));
        QCOMPARE(fiveResetCell(NOW - 1).tone, QString("textTertiary"));
        QCOMPARE(sevenResetCell(NOW - 1).text, QString("сброшено"));
        QCOMPARE(sevenResetCell(NOW + 86400).date, fmt::dateShort(NOW + 86400));
        QCOMPARE(sevenResetCell(0).text, QString());
        // Cost: always two decimals in the table; "$0" style on cards and tiles.
        QCOMPARE(cost(0), QString("$0.00"));
        QCOMPARE(money(0), QString("$0"));
        QCOMPARE(money(-3), QString("$0"));
        QCOMPARE(money(12.345), QString("$12.35"));
        QCOMPARE(money(std::nan("")), QString("—"));
        QCOMPARE(cost(1e300), QString("—"));
        // Status pill: anything but "hold" reads Active.
        QCOMPARE(statusPillText("paused"), QString("Active"));
        QCOMPARE(statusPillTone("hold"), QString("warn"));
    }

    void providerAndPeopleCells()
    {
        TeamAcct a;
        a.provider = "mistral";
        a.authType = "api_key";
        ProviderCell p = providerCell(a);
        QCOMPARE(p.label, QString("Other"));
        QCOMPARE(p.authText, QString("API-ключ"));
        QCOMPARE(p.marker, QString());
        a.inRegistry = true;
        QCOMPARE(providerCell(a).marker, QString("✓"));
        a.hasMonitor = true;
        QCOMPARE(providerCell(a).marker, QString("✓✓"));
        QCOMPARE(providerCell(a).markerTone, QString("ok"));

        QVERIFY(whoCell(a).none);
        for (const char *n : {"Анна", "Боб", "Вера"}) {
            AcctUser u;
            u.name = n;
            u.online = a.users.isEmpty();
            a.users << u;
        }
        QCOMPARE(whoCell(a).name, QString("Анна"));
        QCOMPARE(whoCell(a).dotTone, QString("ok"));
        QCOMPARE(whoCell(a).more, QString("+2"));

        // Presence: an active session's project, else online, else last seen, else "—".
        QCOMPARE(presenceCell(a).text, QString("—"));
        a.lastSeen = NOW - 120;
        QCOMPARE(presenceCell(a).text, QString("2 мин назад"));
        a.online = true;
        QCOMPARE(presenceCell(a).text, QString("онлайн"));
        LiveSession idle, noProject, working;
        idle.project = "idle";
        noProject.active = true;
        working.project = "corvane";
        working.active = true;
        a.liveSessions = {idle, noProject, working};
        QCOMPARE(presenceCell(a).text, QString("corvane"));
    }

    void registryColumn_data()
    {
        QTest::addColumn<TeamAcct>("acct");
        QTest::addColumn<QString>("expected");
        TeamAcct bare;
        QTest::newRow("nothing known, no extra usage")
            << bare
            << "План=— | Цена=— | Оплата=— | Продление=— | Токены in/out=— | Модель=— | Лимиты (pull)=— | "
               "Last seen=— | Мониторинг=— | Авторизация=Авторизация | cc_provider=— | base_url=— | Ключ=не требуется";
        TeamAcct full;
        full.plan = "Max";
        full.price = 19.5;
        full.currency = "USD";
        full.payMethod = "карта";
        full.renewDate = "2023-11-13"; // NOW is 15 November, 01:13 in Moscow
        full.tokensIn = 1500;
        full.tokensOut = 2345678;
        full.model = "claude-sonnet-4-5-20250929";
        full.extraUsagePct = 0;
        full.limitsSource = "push";
        full.lastSeen = NOW - 3 * 86400;
        full.hasMonitor = true;
        full.authType = "api_key";
        full.hasKey = true;
        full.ccProvider = "zai";
        full.baseUrl = "https://api.z.ai";
        QTest::newRow("everything, overdue, push, key")
            << full
            << "План=Max | Цена=19.5 USD | Оплата=карта | Продление=" + fmt::renewInfo("2023-11-13").date
                   + " · просрочено 2 дн.[danger] | Токены in/out=2k / 2.3M | Модель=sonnet-4-5 | "
                     "Доп. расход=0% | Лимиты (pull)=push | Last seen=3 дн назад | Мониторинг=постоянный ✓[ok] | "
                     "Авторизация=API-ключ | cc_provider=zai | base_url=https://api.z.ai | Ключ=есть";
        TeamAcct pulled;
        pulled.limitsFetchedAt = NOW - 600;
        pulled.limitsSource = "push";
        pulled.renewDate = "15.04.2026";
        pulled.price = 20;
        pulled.authType = "oauth";
        pulled.hasKey = true;
        QTest::newRow("pulled, unparsed date, oauth with a key")
            << pulled
            << "План=— | Цена=20  | Оплата=— | Продление=15.04.2026 | Токены in/out=— | Модель=— | "
               "Лимиты (pull)=10 мин назад | Last seen=— | Мониторинг=— | Авторизация=Авторизация | "
               "cc_provider=— | base_url=— | Ключ=не требуется";
    }
    void registryColumn()
    {
        QFETCH(TeamAcct, acct);
        QFETCH(QString, expected);
        QCOMPARE(items(registryItems(acct)), expected);
    }

    void deviceLines_data()
    {
        QTest::addColumn<Device>("device");
        QTest::addColumn<QString>("expected"); // name|details|cc|br|outdated|figures
        Device bare;
        bare.osUser = "anna";
        QTest::newRow("no host: the OS user; no version texts") << bare << "anna|anna|||0|5ч 0%  7д 0%";
        Device full;
        full.host = "mbp";
        full.person = "Анна";
        full.osUser = "anna";
        full.model = "claude-opus-4";
        full.project = "corvane";
        full.version = "2.0.155";
        full.brRev = "r7";
        full.fivePct = 12.9;
        full.sevenPct = 40;
        QTest::newRow("everything, outdated client")
            << full << "mbp|Анна · anna · opus-4 · corvane|CC 2.0.155|BR r7|1|5ч 12%  7д 40%";
        Device current = full;
        current.version = "2.0.156";
        current.person.clear();
        current.model.clear();
        QTest::newRow("current client, gaps skipped")
            << current << "mbp|anna · corvane|CC 2.0.156|BR r7|0|5ч 12%  7д 40%";
    }
    void deviceLines()
    {
        QFETCH(Device, device);
        const DeviceLines l = acview::deviceLines(device);
        QFETCH(QString, expected);
        QCOMPARE(QStringList({l.name, l.details, l.cc, l.br, QString::number(l.outdated), l.figures}).join('|'),
                 expected);
    }

    void cardDecisions()
    {
        TeamAcct a;
        a.online = true;
        // Activity: two project tags and "+1" for three active sessions; an empty project shows
        // no tag but still counts.
        for (const char *p : {"", "web", "api"}) {
            LiveSession s;
            s.project = p;
            s.active = true;
            a.liveSessions << s;
        }
        Activity act = cardActivity(a);
        QCOMPARE(act.projects, QStringList{"web"});
        QCOMPARE(act.more, QString("+1"));
        // No active sessions: offline with a last report shows how long ago; never reported, nothing.
        a.liveSessions.clear();
        a.online = false;
        QCOMPARE(cardActivity(a).seen, QString());
        a.lastSeen = NOW - 7200;
        QCOMPARE(cardActivity(a).seen, QString("2 ч назад"));
        a.online = true;
        QCOMPARE(cardActivity(a).seen, QString());

        QCOMPARE(teamGaugeReset(0), QString());
        QCOMPARE(teamGaugeReset(NOW + 3600), QString("через 1ч 0м"));
    }

};

CORVANE_TEST_CLASS(TstAcView)
#include "tst_acview.moc"

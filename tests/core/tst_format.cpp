#include "core/clock.h"
#include "core/format.h"
#include "core/providers.h"

#include <QDateTime>
#include <QTest>
#include <QTimeZone>
#include <limits>

namespace {
const QTimeZone moscow("Europe/Moscow");
// 5 December 2026, 12:00 in Moscow (UTC+3 all year).
double at(int y, int mo, int d, int h = 0, int mi = 0, const QTimeZone &z = moscow)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), z).toSecsSinceEpoch();
}
const double NOW = at(2026, 12, 5, 12, 0);
constexpr double HUGE_T = 1e300;
const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();
} // namespace

class TstFormat : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        Clock::setZone(moscow);
        Clock::setFixed(NOW);
    }
    void cleanup() { Clock::reset(); }

    void monthNamesLongAreGenitive();
    void shortDatesAndResetText();
    void datesFollowClockZone();
    void datesUnknownOrUnrepresentable();
    void renewInfoEmptyAndUnparsed();
    void renewInfoDays();
    void renewInfoUsesClockZone();
    void countdownThresholds();
    void remainShortThresholds();
    void countdownHugeAndOdd();
    void relSeenThresholds();
    void fmtTokensThresholds();
    void fmtDurThresholds();
    void shortModelSteps_data();
    void shortModelSteps();
    void ccOldBoundaries_data();
    void ccOldBoundaries();
    void appVersionFromBuild();
    void providerTable();
};

void TstFormat::monthNamesLongAreGenitive()
{
    const char *names[] = {"января", "февраля", "марта", "апреля", "мая", "июня", "июля",
                           "августа", "сентября", "октября", "ноября", "декабря"};
    for (int m = 1; m <= 12; ++m) {
        const QString expected = QStringLiteral("5 ") + QString::fromUtf8(names[m - 1]) + QStringLiteral(" 2026");
        QCOMPARE(fmt::fmtDateLong(at(2026, m, 5, 10)), expected);
        // renewInfo's date is the same long form of the parsed day.
        QCOMPARE(fmt::renewInfo(QStringLiteral("2026-%1-05").arg(m, 2, 10, QLatin1Char('0'))).date, expected);
    }
}

void TstFormat::shortDatesAndResetText()
{
    QCOMPARE(fmt::resetText(at(2026, 12, 5, 14, 7)), QStringLiteral("5 дек. 14:07"));
    QCOMPARE(fmt::resetText(at(2026, 1, 9, 9, 5)), QStringLiteral("9 янв. 09:05"));
    QCOMPARE(fmt::dateShort(at(2026, 5, 1, 23, 59)), QStringLiteral("1 мая"));
    QCOMPARE(fmt::dateShort(at(2026, 9, 30)), QStringLiteral("30 сент."));
    QCOMPARE(fmt::dateShort(at(2026, 11, 2)), QStringLiteral("2 нояб."));
    // Fractions of a second do not round into the next minute.
    QCOMPARE(fmt::resetText(at(2026, 12, 5, 14, 7) + 59.999), QStringLiteral("5 дек. 14:07"));
}

void TstFormat::datesFollowClockZone()
{
    const double t = at(2026, 12, 31, 22, 30, QTimeZone::utc());
    QCOMPARE(fmt::resetText(t), QStringLiteral("1 янв. 01:30"));
    QCOMPARE(fmt::fmtDateLong(t), QStringLiteral("1 января 2027"));
    Clock::setZone(QTimeZone::utc());
    QCOMPARE(fmt::resetText(t), QStringLiteral("31 дек. 22:30"));
    QCOMPARE(fmt::dateShort(t), QStringLiteral("31 дек."));
    QCOMPARE(fmt::fmtDateLong(t), QStringLiteral("31 декабря 2026"));
}

void TstFormat::datesUnknownOrUnrepresentable()
{
    for (double t : {0.0, -1.0, -1e12, NaN, HUGE_T, INF}) {
        QVERIFY(fmt::resetText(t).isEmpty());
        QVERIFY(fmt::dateShort(t).isEmpty());
        QVERIFY(fmt::fmtDateLong(t).isEmpty());
    }
    QCOMPARE(fmt::dateShort(1), QStringLiteral("1 янв.")); // the epoch's first second is a real time
}

void TstFormat::renewInfoEmptyAndUnparsed()
{
    const fmt::RenewInfo e = fmt::renewInfo(QString());
    QCOMPARE(e.date, QStringLiteral("—"));
    QVERIFY(e.days.isEmpty());
    QVERIFY(!e.overdue);
    for (const char *s : {"soon", "2026-1-5", "2026-01-5", "2026-13-01", "2026-02-30", "2026-00-10",
                          " 2026-01-05", "2026-01-05 ", "2026-01-05T00:00", "05.01.2026", "+2026-01-05",
                          "20260-01-05", "2026/01/05", "\u0662\u0660\u0662\u0666-01-05"}) {
        const fmt::RenewInfo r = fmt::renewInfo(QString::fromUtf8(s));
        QCOMPARE(r.date, QString::fromUtf8(s));
        QVERIFY2(r.days.isEmpty(), s);
        QVERIFY(!r.overdue);
    }
}

void TstFormat::renewInfoDays()
{
    struct Case { const char *date; const char *days; bool overdue; };
    const Case cases[] = {
        {"2026-12-05", "0 дн.", false},          // today: midnight 12 hours ago
        {"2026-12-06", "0 дн.", false},          // 12 hours ahead
        {"2026-12-07", "1 дн.", false},          // 36 hours ahead
        {"2026-12-15", "9 дн.", false},
        {"2026-12-04", "просрочено 1 дн.", true},  // 36 hours ago
        {"2026-12-03", "просрочено 2 дн.", true},  // the day before yesterday
        {"2027-12-05", "364 дн.", false},        // 364.5 days
    };
    for (const Case &c : cases) {
        const fmt::RenewInfo r = fmt::renewInfo(QString::fromLatin1(c.date));
        QCOMPARE(r.days, QString::fromUtf8(c.days));
        QCOMPARE(r.overdue, c.overdue);
    }
    // Just before midnight the current day still reads 0, a day later exactly -1.
    Clock::setFixed(at(2026, 12, 5, 23, 59));
    QCOMPARE(fmt::renewInfo(QStringLiteral("2026-12-05")).days, QStringLiteral("0 дн."));
    Clock::setFixed(at(2026, 12, 6, 0, 0));
    QCOMPARE(fmt::renewInfo(QStringLiteral("2026-12-05")).days, QStringLiteral("просрочено 1 дн."));
    QCOMPARE(fmt::renewInfo(QStringLiteral("2026-12-06")).days, QStringLiteral("0 дн."));
}

void TstFormat::renewInfoUsesClockZone()
{
    // 4 December 22:00 UTC. Midnight of 7 December is 47 h away in Moscow, 55 h in New York.
    Clock::setFixed(at(2026, 12, 4, 22, 0, QTimeZone::utc()));
    QCOMPARE(fmt::renewInfo(QStringLiteral("2026-12-07")).days, QStringLiteral("1 дн."));
    Clock::setZone(QTimeZone("America/New_York"));
    QCOMPARE(fmt::renewInfo(QStringLiteral("2026-12-07")).days, QStringLiteral("2 дн."));
}

void TstFormat::countdownThresholds()
{
    QCOMPARE(fmt::countdown(0), QString());
    QCOMPARE(fmt::countdown(-100), QString());
    QCOMPARE(fmt::countdown(NOW), QStringLiteral("сброшено"));
    QCOMPARE(fmt::countdown(NOW - 10), QStringLiteral("сброшено"));
    QCOMPARE(fmt::countdown(NOW + 0.5), QStringLiteral("через 0м"));
    QCOMPARE(fmt::countdown(NOW + 59), QStringLiteral("через 0м"));
    QCOMPARE(fmt::countdown(NOW + 60), QStringLiteral("через 1м"));
    QCOMPARE(fmt::countdown(NOW + 3599), QStringLiteral("через 59м"));
    QCOMPARE(fmt::countdown(NOW + 3600), QStringLiteral("через 1ч 0м"));
    QCOMPARE(fmt::countdown(NOW + 3600 + 61), QStringLiteral("через 1ч 1м"));
    QCOMPARE(fmt::countdown(NOW + 86399), QStringLiteral("через 23ч 59м"));
    QCOMPARE(fmt::countdown(NOW + 86400), QStringLiteral("через 1д 0ч"));
    QCOMPARE(fmt::countdown(NOW + 2 * 86400 + 5 * 3600 + 3599), QStringLiteral("через 2д 5ч"));
}

void TstFormat::remainShortThresholds()
{
    QCOMPARE(fmt::remainShort(0), QString());
    QCOMPARE(fmt::remainShort(NOW), QStringLiteral("сброшено"));
    QCOMPARE(fmt::remainShort(NOW + 59), QStringLiteral("0м"));
    QCOMPARE(fmt::remainShort(NOW + 5400), QStringLiteral("1ч 30м"));
    QCOMPARE(fmt::remainShort(NOW + 86399), QStringLiteral("23ч 59м"));
    QCOMPARE(fmt::remainShort(NOW + 86400), QStringLiteral("1д 0ч"));
    QCOMPARE(fmt::remainShort(NOW + 3 * 86400 + 5 * 3600), QStringLiteral("3д 5ч"));
}

void TstFormat::countdownHugeAndOdd()
{
    // Far beyond any 64-bit second count: a text, no overflow.
    QVERIFY(fmt::countdown(HUGE_T).startsWith(QStringLiteral("через ")));
    QVERIFY(fmt::countdown(HUGE_T).endsWith(QStringLiteral("ч")));
    QVERIFY(!fmt::remainShort(INF).isEmpty());
    QCOMPARE(fmt::countdown(NaN), QString());
    QCOMPARE(fmt::remainShort(NaN), QString());
    QCOMPARE(fmt::relSeen(NaN), QString());
    Clock::setFixed(HUGE_T); // a clock far in the future
    QCOMPARE(fmt::countdown(NOW), QStringLiteral("сброшено"));
    QVERIFY(fmt::relSeen(1).endsWith(QStringLiteral(" дн назад")));
    QVERIFY(fmt::renewInfo(QStringLiteral("2026-12-05")).overdue);
    Clock::setFixed(-HUGE_T);
    QVERIFY(!fmt::renewInfo(QStringLiteral("2026-12-05")).overdue);
}

void TstFormat::relSeenThresholds()
{
    QCOMPARE(fmt::relSeen(0), QString());
    QCOMPARE(fmt::relSeen(-5), QString());
    QCOMPARE(fmt::relSeen(NOW), QStringLiteral("только что"));
    QCOMPARE(fmt::relSeen(NOW - 59), QStringLiteral("только что"));
    QCOMPARE(fmt::relSeen(NOW - 59.9), QStringLiteral("только что"));
    QCOMPARE(fmt::relSeen(NOW + 1000), QStringLiteral("только что"));
    QCOMPARE(fmt::relSeen(NOW - 60), QStringLiteral("1 мин назад"));
    QCOMPARE(fmt::relSeen(NOW - 3599), QStringLiteral("59 мин назад"));
    QCOMPARE(fmt::relSeen(NOW - 3600), QStringLiteral("1 ч назад"));
    QCOMPARE(fmt::relSeen(NOW - 86399), QStringLiteral("23 ч назад"));
    QCOMPARE(fmt::relSeen(NOW - 86400), QStringLiteral("1 дн назад"));
    QCOMPARE(fmt::relSeen(NOW - (3 * 86400 + 5 * 3600)), QStringLiteral("3 дн назад"));
}

void TstFormat::fmtTokensThresholds()
{
    QCOMPARE(fmt::fmtTokens(0), QStringLiteral("0"));
    QCOMPARE(fmt::fmtTokens(999), QStringLiteral("999"));
    QCOMPARE(fmt::fmtTokens(999.9), QStringLiteral("999"));
    QCOMPARE(fmt::fmtTokens(-5.7), QStringLiteral("-5"));
    QCOMPARE(fmt::fmtTokens(1000), QStringLiteral("1k"));
    QCOMPARE(fmt::fmtTokens(1500), QStringLiteral("2k"));
    QCOMPARE(fmt::fmtTokens(999999), QStringLiteral("1000k"));
    QCOMPARE(fmt::fmtTokens(1000000), QStringLiteral("1.0M"));
    QCOMPARE(fmt::fmtTokens(2345678), QStringLiteral("2.3M"));
    QCOMPARE(fmt::fmtTokens(NaN), QStringLiteral("0"));
    QVERIFY(fmt::fmtTokens(1e300).endsWith(u'M'));
}

void TstFormat::fmtDurThresholds()
{
    QCOMPARE(fmt::fmtDur(0), QStringLiteral("0м"));
    QCOMPARE(fmt::fmtDur(-5), QStringLiteral("0м"));
    QCOMPARE(fmt::fmtDur(std::numeric_limits<qint64>::min()), QStringLiteral("0м"));
    QCOMPARE(fmt::fmtDur(59), QStringLiteral("0м"));
    QCOMPARE(fmt::fmtDur(60), QStringLiteral("1м"));
    QCOMPARE(fmt::fmtDur(3599), QStringLiteral("59м"));
    QCOMPARE(fmt::fmtDur(3600), QStringLiteral("1ч 0м"));
    QCOMPARE(fmt::fmtDur(3661), QStringLiteral("1ч 1м"));
    QCOMPARE(fmt::fmtDur(100 * 3600 + 59 * 60 + 59), QStringLiteral("100ч 59м"));
}

void TstFormat::shortModelSteps_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("dated") << "claude-sonnet-4-5-20250929" << "sonnet-4-5";
    QTest::newRow("latest") << "claude-3-5-haiku-latest" << "3-5-haiku";
    QTest::newRow("anthropic keeps claude") << "anthropic/claude-opus-4" << "claude-opus-4";
    QTest::newRow("claude then anthropic") << "claude-anthropic/x" << "x";
    QTest::newRow("other provider") << "glm-4.6" << "glm-4.6";
    QTest::newRow("prefix once") << "claude-claude-x" << "claude-x";
    QTest::newRow("date then latest") << "opus-4-20250514-latest" << "opus-4-20250514";
    QTest::newRow("date not 20") << "claude-x-19991231" << "x-19991231";
    QTest::newRow("seven digits") << "x-2025010" << "x-2025010";
    QTest::newRow("nine digits") << "x-202501011" << "x-202501011";
    QTest::newRow("date mid-name") << "x-20250101-y" << "x-20250101-y";
    QTest::newRow("non-ascii digits") << QString::fromUtf8("x-20\u0662\u0665\u0660\u0661\u0660\u0661")
                                      << QString::fromUtf8("x-20\u0662\u0665\u0660\u0661\u0660\u0661");
    QTest::newRow("latest only") << "-latest" << "";
    QTest::newRow("empty") << "" << "";
}

void TstFormat::shortModelSteps()
{
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(fmt::shortModel(in), out);
}

void TstFormat::ccOldBoundaries_data()
{
    QTest::addColumn<QString>("v");
    QTest::addColumn<bool>("old");
    QTest::newRow("2.0.155") << "2.0.155" << true;
    QTest::newRow("2.0.156") << "2.0.156" << false;
    QTest::newRow("1.0.128") << "1.0.128" << true;
    QTest::newRow("2.1") << "2.1" << false;
    QTest::newRow("0.0.0") << "0.0.0" << false;
    QTest::newRow("0.0.1") << "0.0.1" << true;
    QTest::newRow("no digits") << "abc" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("fourth ignored") << "2.0.155.999" << true;
    QTest::newRow("empty pieces") << "1..2..3" << true;
    QTest::newRow("suffix drops piece") << "2.0.155-beta" << false;
    QTest::newRow("non-numeric piece dropped") << "1.x.0.5" << true;
    QTest::newRow("space not a number") << "1. 0.5" << false;
    QTest::newRow("3.0.0") << "3.0.0" << false;
    QTest::newRow("too big piece dropped") << "99999999999999999999.0.0" << false;
    QTest::newRow("huge pieces") << "9223372036854775807.9223372036854775807.9223372036854775807" << false;
    QTest::newRow("huge negative") << "-9223372036854775808.0.1" << false;
    QTest::newRow("negative") << "-1.0.0" << false;
}

void TstFormat::ccOldBoundaries()
{
    QFETCH(QString, v);
    QFETCH(bool, old);
    QCOMPARE(fmt::ccOld(v), old);
}

void TstFormat::appVersionFromBuild()
{
    const QString built = QStringLiteral(CORVANE_VERSION);
    QCOMPARE(fmt::appVersion(), built.isEmpty() ? QStringLiteral("dev") : built);
}

void TstFormat::providerTable()
{
    QCOMPARE(PROVIDERS().size(), 10);
    QCOMPARE(providerMeta(QStringLiteral("claude")).label, QStringLiteral("Claude"));
    QCOMPARE(providerMeta(QStringLiteral("openrouter")).hex, 0x9CA3AFu);
    QCOMPARE(providerMeta(QStringLiteral("minimax")).label, QStringLiteral("MiniMax"));
    QCOMPARE(providerColorHex(QStringLiteral("codex")), QStringLiteral("#10A37F"));
    QCOMPARE(providerColorHex(QStringLiteral("glm")), QStringLiteral("#3B6FFF"));
    // Unknown keys, including differently cased known ones, are "other".
    for (const char *k : {"mistral", "", "Claude"}) {
        QCOMPARE(providerKey(QString::fromLatin1(k)), QStringLiteral("other"));
        QCOMPARE(providerMeta(QString::fromLatin1(k)).label, QStringLiteral("Other"));
        QCOMPARE(providerMeta(QString::fromLatin1(k)).hex, 0x8888A0u);
        QCOMPARE(providerColorHex(QString::fromLatin1(k)), QStringLiteral("#8888A0"));
    }
    QCOMPARE(providerKey(QStringLiteral("qwen")), QStringLiteral("qwen"));
}

QTEST_GUILESS_MAIN(TstFormat)
#include "tst_format.moc"

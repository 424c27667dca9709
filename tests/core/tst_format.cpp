// Formatting helpers and gauge rules at their thresholds (in a pinned zone, at a pinned "now"),
// and the grapheme rules behind avatar initials and password lengths.
#include "core/clock.h"
#include "core/format.h"
#include "core/providers.h"
#include "core/records.h"
#include "core/text.h"
#include "core/uirules.h"
#include "testmain.h"

#include <QDateTime>
#include <QTest>
#include <QTimeZone>
#include <limits>

namespace {
const QTimeZone moscow("Europe/Moscow");
double at(int y, int mo, int d, int h = 0, int mi = 0, const QTimeZone &z = moscow)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), z).toSecsSinceEpoch();
}
const double NOW = at(2026, 12, 5, 12, 0); // 5 December 2026, 12:00 in Moscow (UTC+3 all year)
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

    void dates()
    {
        // Month names in the genitive, in both long forms.
        QCOMPARE(fmt::fmtDateLong(at(2026, 3, 5, 10)), QStringLiteral("5 марта 2026"));
        QCOMPARE(fmt::renewInfo(QStringLiteral("2026-08-05")).date, QStringLiteral("5 августа 2026"));
        QCOMPARE(fmt::resetText(at(2026, 1, 9, 9, 5)), QStringLiteral("9 янв. 09:05"));
        QCOMPARE(fmt::resetText(at(2026, 12, 5, 14, 7) + 59.999), QStringLiteral("5 дек. 14:07")); // no rounding up
        QCOMPARE(fmt::dateShort(at(2026, 5, 1, 23, 59)), QStringLiteral("1 мая"));
        // The clock's zone decides the day.
        const double t = at(2026, 12, 31, 22, 30, QTimeZone::utc());
        QCOMPARE(fmt::resetText(t), QStringLiteral("1 янв. 01:30"));
        Clock::setZone(QTimeZone::utc());
        QCOMPARE(fmt::fmtDateLong(t), QStringLiteral("31 декабря 2026"));
        for (double bad : {0.0, -1.0, NaN, 1e300, INF}) {
            QVERIFY(fmt::resetText(bad).isEmpty());
            QVERIFY(fmt::dateShort(bad).isEmpty());
            QVERIFY(fmt::fmtDateLong(bad).isEmpty());
        }
        QCOMPARE(fmt::dateShort(1), QStringLiteral("1 янв.")); // the epoch's first second is a real time
    }

    void renewInfo()
    {
        const fmt::RenewInfo e = fmt::renewInfo(QString());
        QCOMPARE(e.date, QStringLiteral("—"));
        QVERIFY(e.days.isEmpty() && !e.overdue);
        for (const char *s : {"soon", "2026-1-5", "2026-13-01", "2026-02-30", " 2026-01-05", "05.01.2026",
                              "\u0662\u0660\u0662\u0666-01-05"}) {
            const fmt::RenewInfo r = fmt::renewInfo(QString::fromUtf8(s));
            QCOMPARE(r.date, QString::fromUtf8(s)); // shown as typed, no day count
            QVERIFY2(r.days.isEmpty() && !r.overdue, s);
        }
        const struct { const char *date; const char *days; bool overdue; } rows[] = {
            {"2026-12-05", "0 дн.", false}, {"2026-12-06", "0 дн.", false}, {"2026-12-07", "1 дн.", false},
            {"2026-12-04", "просрочено 1 дн.", true}, {"2027-12-05", "364 дн.", false},
        };
        for (const auto &r : rows) {
            QCOMPARE(fmt::renewInfo(QString::fromLatin1(r.date)).days, QString::fromUtf8(r.days));
            QCOMPARE(fmt::renewInfo(QString::fromLatin1(r.date)).overdue, r.overdue);
        }
        Clock::setFixed(at(2026, 12, 6, 0, 0)); // at midnight the day before is overdue
        QCOMPARE(fmt::renewInfo(QStringLiteral("2026-12-05")).days, QStringLiteral("просрочено 1 дн."));
        // 4 December 22:00 UTC: midnight of 7 December is 47 h away in Moscow, 55 h in New York.
        Clock::setFixed(at(2026, 12, 4, 22, 0, QTimeZone::utc()));
        QCOMPARE(fmt::renewInfo(QStringLiteral("2026-12-07")).days, QStringLiteral("1 дн."));
        Clock::setZone(QTimeZone("America/New_York"));
        QCOMPARE(fmt::renewInfo(QStringLiteral("2026-12-07")).days, QStringLiteral("2 дн."));
    }

    void countdownsAndAges()
    {
        const struct { double dt; const char *countdown; const char *remain; } rows[] = {
            {0, "сброшено", "сброшено"}, {-10, "сброшено", "сброшено"}, {59, "через 0м", "0м"},
            {60, "через 1м", "1м"}, {3599, "через 59м", "59м"}, {3600, "через 1ч 0м", "1ч 0м"},
            {86399, "через 23ч 59м", "23ч 59м"}, {86400, "через 1д 0ч", "1д 0ч"},
            {2 * 86400 + 5 * 3600 + 3599, "через 2д 5ч", "2д 5ч"},
        };
        for (const auto &r : rows) {
            QCOMPARE(fmt::countdown(NOW + r.dt), QString::fromUtf8(r.countdown));
            QCOMPARE(fmt::remainShort(NOW + r.dt), QString::fromUtf8(r.remain));
        }
        for (double unknown : {0.0, -100.0, NaN}) {
            QCOMPARE(fmt::countdown(unknown), QString());
            QCOMPARE(fmt::relSeen(unknown), QString());
        }
        const struct { double ago; const char *text; } ages[] = {
            {59.9, "только что"}, {-1000, "только что"}, {60, "1 мин назад"}, {3599, "59 мин назад"},
            {3600, "1 ч назад"}, {86399, "23 ч назад"}, {86400, "1 дн назад"},
        };
        for (const auto &r : ages)
            QCOMPARE(fmt::relSeen(NOW - r.ago), QString::fromUtf8(r.text));
        // Far beyond any 64-bit second count: a text, no overflow.
        QVERIFY(fmt::countdown(1e300).startsWith(QStringLiteral("через ")));
        QVERIFY(!fmt::remainShort(INF).isEmpty());
        Clock::setFixed(1e300); // a clock far in the future
        QCOMPARE(fmt::countdown(NOW), QStringLiteral("сброшено"));
        QVERIFY(fmt::relSeen(1).endsWith(QStringLiteral(" дн назад")));
    }

    void numbersAndNames()
    {
        const struct { double n; const char *text; } tokens[] = {
            {999.9, "999"}, {-5.7, "-5"}, {1000, "1k"}, {1500, "2k"}, {999999, "1000k"}, {1000000, "1.0M"},
            {2345678, "2.3M"}, {NaN, "0"},
        };
        for (const auto &r : tokens)
            QCOMPARE(fmt::fmtTokens(r.n), QString::fromLatin1(r.text));
        const struct { qint64 s; const char *text; } durs[] = {
            {std::numeric_limits<qint64>::min(), "0м"}, {59, "0м"}, {3599, "59м"}, {3600, "1ч 0м"},
            {100 * 3600 + 59 * 60 + 59, "100ч 59м"},
        };
        for (const auto &r : durs)
            QCOMPARE(fmt::fmtDur(r.s), QString::fromUtf8(r.text));
        const char *models[][2] = {
            {"claude-sonnet-4-5-20250929", "sonnet-4-5"}, {"claude-3-5-haiku-latest", "3-5-haiku"},
            {"anthropic/claude-opus-4", "claude-opus-4"}, {"claude-anthropic/x", "x"},
            {"opus-4-20250514-latest", "opus-4-20250514"}, {"x-2025010", "x-2025010"}, {"x-20250101-y", "x-20250101-y"},
            {"x-20\u0662\u0665\u0660\u0661\u0660\u0661", "x-20\u0662\u0665\u0660\u0661\u0660\u0661"}, {"-latest", ""},
        };
        for (const auto &r : models)
            QCOMPARE(fmt::shortModel(QString::fromUtf8(r[0])), QString::fromUtf8(r[1]));
        for (const char *v : {"2.0.155", "0.0.1", "2.0.155.999", "1..2..3", "1.x.0.5"})
            QVERIFY2(fmt::ccOld(QString::fromLatin1(v)), v);
        for (const char *v : {"2.0.156", "2.1", "0.0.0", "2.0.155-beta", "1. 0.5", "99999999999999999999.0.0",
                              "9223372036854775807.9223372036854775807.9223372036854775807", "-1.0.0"})
            QVERIFY2(!fmt::ccOld(QString::fromLatin1(v)), v);
        // Unknown keys, including differently cased known ones, are "other".
        QCOMPARE(providerKey(QStringLiteral("qwen")), QStringLiteral("qwen"));
        for (const char *k : {"mistral", "Claude"})
            QCOMPARE(providerMeta(QString::fromLatin1(k)).label, QStringLiteral("Other"));
    }

    void gauges()
    {
        const struct { double pct; const char *tone; double frac; const char *text; } rows[] = {
            {NaN, "accent", 0, "—"}, {-1, "accent", 0, "—"}, {0, "accent", 0, "—"}, {0.5, "accent", 0.005, "0%"},
            {74.99, "accent", 0.7499, "74%"}, {75, "warn", 0.75, "75%"}, {89.99, "warn", 0.8999, "89%"},
            {90, "danger", 0.9, "90%"}, {150, "danger", 1, "150%"}, {INF, "danger", 1, nullptr},
            // Beyond the 64-bit range: the digits of the double itself, no overflow.
            {1e20, "danger", 1, "100000000000000000000%"},
        };
        for (const auto &r : rows) {
            QCOMPARE(ui::gaugeTone(r.pct), QLatin1String(r.tone));
            QCOMPARE(ui::gaugeFraction(r.pct), r.frac);
            if (r.text)
                QCOMPARE(ui::gaugeText(r.pct), QString::fromUtf8(r.text));
        }
        for (double v : {-0.2, NaN, -INF})
            QCOMPARE(ui::clamp01(v), 0.0);
        QCOMPARE(ui::clamp01(1.7), 1.0);
    }

    void initials_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("memberId");
        QTest::addColumn<QString>("expected");
        const char *rows[][4] = {
            {"two words", "Иван Петров", "", "ИП"},
            {"spaces around and between", "   Анна   Смирнова    Олеговна  ", "", "АС"},
            {"a tab inside does not separate", "Ann\tLee", "", "AN"},
            {"one word", "анна", "", "АН"},
            {"id when no name", "   ", "m7", "M7"},
            {"id used untrimmed", "", " ab", " A"},
            {"a name wins over the id", "q", "m7", "Q"},
            {"skin tone stays whole", "👍🏽 Bob", "", "👍🏽B"},
            {"ZWJ family stays whole", "👨‍👩‍👧x", "", "👨‍👩‍👧X"},
            {"combining mark", "e\u0301mile zola", "", "E\u0301Z"},
            {"full upper case", "ßa", "", "SSA"},
            {"locale-independent i", "ilya", "", "IL"},
        };
        for (const auto &r : rows)
            QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2]) << QString::fromUtf8(r[3]);
    }
    void initials()
    {
        QFETCH(QString, name);
        QFETCH(QString, memberId);
        Member m;
        m.name = name;
        m.memberId = memberId;
        QTEST(m.initials(), "expected");
    }

    void graphemeHelpers()
    {
        QCOMPARE(text::graphemeCount(QString::fromUtf8("пароль👍🏽")), 7);
        QCOMPARE(text::firstGraphemes(QStringLiteral("ab"), 5), QStringLiteral("ab"));
        QCOMPARE(text::trimSpacesTabs(QStringLiteral(" \t a b\t ")), QStringLiteral("a b"));
        QCOMPARE(text::trimSpacesTabs(QStringLiteral("\na\n")), QStringLiteral("\na\n"));
    }
};

CORVANE_TEST_CLASS(TstFormat)
#include "tst_format.moc"

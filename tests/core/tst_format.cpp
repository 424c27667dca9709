// Formatting helpers at their thresholds, in a pinned zone and at a pinned "now".
#include "core/clock.h"
#include "core/format.h"
#include "core/providers.h"

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
        const char *months[] = {"января", "февраля", "марта", "апреля", "мая", "июня", "июля",
                                "августа", "сентября", "октября", "ноября", "декабря"};
        for (int m = 1; m <= 12; ++m) { // genitive month names, in both long forms
            const QString expected = QStringLiteral("5 %1 2026").arg(QString::fromUtf8(months[m - 1]));
            QCOMPARE(fmt::fmtDateLong(at(2026, m, 5, 10)), expected);
            QCOMPARE(fmt::renewInfo(QStringLiteral("2026-%1-05").arg(m, 2, 10, QLatin1Char('0'))).date, expected);
        }
        QCOMPARE(fmt::resetText(at(2026, 1, 9, 9, 5)), QStringLiteral("9 янв. 09:05"));
        QCOMPARE(fmt::resetText(at(2026, 12, 5, 14, 7) + 59.999), QStringLiteral("5 дек. 14:07")); // no rounding up
        QCOMPARE(fmt::dateShort(at(2026, 5, 1, 23, 59)), QStringLiteral("1 мая"));
        QCOMPARE(fmt::dateShort(at(2026, 9, 30)), QStringLiteral("30 сент."));
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
        for (const char *s : {"soon", "2026-1-5", "2026-13-01", "2026-02-30", " 2026-01-05", "2026-01-05T00:00",
                              "05.01.2026", "+2026-01-05", "20260-01-05", "\u0662\u0660\u0662\u0666-01-05"}) {
            const fmt::RenewInfo r = fmt::renewInfo(QString::fromUtf8(s));
            QCOMPARE(r.date, QString::fromUtf8(s)); // shown as typed, no day count
            QVERIFY2(r.days.isEmpty() && !r.overdue, s);
        }
        const struct { const char *date; const char *days; bool overdue; } rows[] = {
            {"2026-12-05", "0 дн.", false}, {"2026-12-06", "0 дн.", false}, {"2026-12-07", "1 дн.", false},
            {"2026-12-04", "просрочено 1 дн.", true}, {"2026-12-03", "просрочено 2 дн.", true},
            {"2027-12-05", "364 дн.", false},
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

    void countdowns()
    {
        const struct { double dt; const char *countdown; const char *remain; } rows[] = {
            {0, "сброшено", "сброшено"}, {-10, "сброшено", "сброшено"}, {0.5, "через 0м", "0м"},
            {59, "через 0м", "0м"}, {60, "через 1м", "1м"}, {3599, "через 59м", "59м"},
            {3600, "через 1ч 0м", "1ч 0м"}, {86399, "через 23ч 59м", "23ч 59м"}, {86400, "через 1д 0ч", "1д 0ч"},
            {2 * 86400 + 5 * 3600 + 3599, "через 2д 5ч", "2д 5ч"},
        };
        for (const auto &r : rows) {
            QCOMPARE(fmt::countdown(NOW + r.dt), QString::fromUtf8(r.countdown));
            QCOMPARE(fmt::remainShort(NOW + r.dt), QString::fromUtf8(r.remain));
        }
        for (double unknown : {0.0, -100.0, NaN}) {
            QCOMPARE(fmt::countdown(unknown), QString());
            QCOMPARE(fmt::remainShort(unknown), QString());
        }
        // Far beyond any 64-bit second count: a text, no overflow.
        QVERIFY(fmt::countdown(1e300).startsWith(QStringLiteral("через ")));
        QVERIFY(!fmt::remainShort(INF).isEmpty());
        Clock::setFixed(1e300); // a clock far in the future
        QCOMPARE(fmt::countdown(NOW), QStringLiteral("сброшено"));
        QVERIFY(fmt::relSeen(1).endsWith(QStringLiteral(" дн назад")));
    }

    void relSeen()
    {
        const struct { double ago; const char *text; } rows[] = {
            {0, "только что"}, {59.9, "только что"}, {-1000, "только что"}, {60, "1 мин назад"},
            {3599, "59 мин назад"}, {3600, "1 ч назад"}, {86399, "23 ч назад"}, {86400, "1 дн назад"},
        };
        for (const auto &r : rows)
            QCOMPARE(fmt::relSeen(NOW - r.ago), QString::fromUtf8(r.text));
        QCOMPARE(fmt::relSeen(0), QString());
        QCOMPARE(fmt::relSeen(NaN), QString());
    }

    void tokensAndDurations()
    {
        const struct { double n; const char *text; } tokens[] = {
            {999.9, "999"}, {-5.7, "-5"}, {1000, "1k"}, {1500, "2k"}, {999999, "1000k"}, {1000000, "1.0M"},
            {2345678, "2.3M"}, {NaN, "0"},
        };
        for (const auto &r : tokens)
            QCOMPARE(fmt::fmtTokens(r.n), QString::fromLatin1(r.text));
        const struct { qint64 s; const char *text; } durs[] = {
            {std::numeric_limits<qint64>::min(), "0м"}, {59, "0м"}, {60, "1м"}, {3599, "59м"}, {3600, "1ч 0м"},
            {100 * 3600 + 59 * 60 + 59, "100ч 59м"},
        };
        for (const auto &r : durs)
            QCOMPARE(fmt::fmtDur(r.s), QString::fromUtf8(r.text));
    }

    void shortModel()
    {
        const char *rows[][2] = {
            {"claude-sonnet-4-5-20250929", "sonnet-4-5"}, {"claude-3-5-haiku-latest", "3-5-haiku"},
            {"anthropic/claude-opus-4", "claude-opus-4"}, {"claude-anthropic/x", "x"}, {"claude-claude-x", "claude-x"},
            {"opus-4-20250514-latest", "opus-4-20250514"}, {"claude-x-19991231", "x-19991231"},
            {"x-2025010", "x-2025010"}, {"x-20250101-y", "x-20250101-y"}, {"x-20\u0662\u0665\u0660\u0661\u0660\u0661",
            "x-20\u0662\u0665\u0660\u0661\u0660\u0661"}, {"-latest", ""},
        };
        for (const auto &r : rows)
            QCOMPARE(fmt::shortModel(QString::fromUtf8(r[0])), QString::fromUtf8(r[1]));
    }

    void ccOld()
    {
        for (const char *v : {"2.0.155", "1.0.128", "0.0.1", "2.0.155.999", "1..2..3", "1.x.0.5"})
            QVERIFY2(fmt::ccOld(QString::fromLatin1(v)), v);
        for (const char *v : {"2.0.156", "2.1", "0.0.0", "abc", "", "2.0.155-beta", "1. 0.5", "99999999999999999999.0.0",
                              "9223372036854775807.9223372036854775807.9223372036854775807", "-1.0.0"})
            QVERIFY2(!fmt::ccOld(QString::fromLatin1(v)), v);
    }

    void appVersionAndProviders()
    {
        const QString built = QStringLiteral(CORVANE_VERSION);
        QCOMPARE(fmt::appVersion(), built.isEmpty() ? QStringLiteral("dev") : built);
        QCOMPARE(providerKey(QStringLiteral("qwen")), QStringLiteral("qwen"));
        // Unknown keys, including differently cased known ones, are "other".
        for (const char *k : {"mistral", "", "Claude"}) {
            QCOMPARE(providerKey(QString::fromLatin1(k)), QStringLiteral("other"));
            QCOMPARE(providerMeta(QString::fromLatin1(k)).label, QStringLiteral("Other"));
        }
    }
};

QTEST_GUILESS_MAIN(TstFormat)
#include "tst_format.moc"

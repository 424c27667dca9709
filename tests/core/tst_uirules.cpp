// Gauge rules at their edges, and the text rules behind avatar initials.
#include "core/records.h"
#include "core/text.h"
#include "core/uirules.h"

#include <QTest>
#include <limits>

namespace {
const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();
} // namespace

class TstUiRules : public QObject
{
    Q_OBJECT
private slots:
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
        QCOMPARE(ui::gaugeText(-0.0), QStringLiteral("—"));
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
            {"one letter", "X", "", "X"},
            {"id when no name", "   ", "m7", "M7"},
            {"id used untrimmed", "", " ab", " A"},
            {"a name wins over the id", "q", "m7", "Q"},
            {"skin tone stays whole", "👍🏽 Bob", "", "👍🏽B"},
            {"ZWJ family stays whole", "👨‍👩‍👧x", "", "👨‍👩‍👧X"},
            {"combining mark", "e\u0301mile zola", "", "E\u0301Z"},
            {"astral letters", "𝒜𝒝", "", "𝒜𝒝"},
            {"full upper case", "ßa", "", "SSA"},
            {"ligature", "ﬁx yz", "", "FIY"},
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
        QCOMPARE(text::graphemeCount(QString::fromUtf8("e\u0301e\u0301")), 2);
        QCOMPARE(text::firstGraphemes(QString::fromUtf8("👨‍👩‍👧ab"), 1), QString::fromUtf8("👨‍👩‍👧"));
        QCOMPARE(text::firstGraphemes(QStringLiteral("ab"), 5), QStringLiteral("ab"));
        QCOMPARE(text::trimSpacesTabs(QStringLiteral(" \t a b\t ")), QStringLiteral("a b"));
        QCOMPARE(text::trimSpacesTabs(QStringLiteral("\na\n")), QStringLiteral("\na\n"));
    }
};

QTEST_GUILESS_MAIN(TstUiRules)
#include "tst_uirules.moc"

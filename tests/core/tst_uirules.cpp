// Gauge and share-bar rules, and the text rules behind avatar initials.
#include "core/records.h"
#include "core/text.h"
#include "core/uirules.h"

#include <QTest>
#include <limits>

namespace {
QString initials(const char *name, const char *memberId = "")
{
    Member m;
    m.name = QString::fromUtf8(name);
    m.memberId = QString::fromUtf8(memberId);
    return m.initials();
}
const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();
} // namespace

class TstUiRules : public QObject
{
    Q_OBJECT
private slots:
    void gaugeToneBoundaries();
    void gaugeFractionClamps();
    void gaugeTextWholePart();
    void shareBarClamp();
    void initialsWords();
    void initialsFallbackAndShort();
    void initialsGraphemes();
    void initialsFullUpperCase();
    void graphemeHelpers();
};

void TstUiRules::gaugeToneBoundaries()
{
    QCOMPARE(ui::gaugeTone(74.99), QStringLiteral("accent"));
    QCOMPARE(ui::gaugeTone(75), QStringLiteral("warn"));
    QCOMPARE(ui::gaugeTone(89.99), QStringLiteral("warn"));
    QCOMPARE(ui::gaugeTone(90), QStringLiteral("danger"));
    QCOMPARE(ui::gaugeTone(150), QStringLiteral("danger"));
    QCOMPARE(ui::gaugeTone(0), QStringLiteral("accent"));
    QCOMPARE(ui::gaugeTone(-1), QStringLiteral("accent"));
    QCOMPARE(ui::gaugeTone(NaN), QStringLiteral("accent"));
}

void TstUiRules::gaugeFractionClamps()
{
    QCOMPARE(ui::gaugeFraction(0.5), 0.005);
    QCOMPARE(ui::gaugeFraction(0), 0.0);
    QCOMPARE(ui::gaugeFraction(-1), 0.0);
    QCOMPARE(ui::gaugeFraction(42), 0.42);
    QCOMPARE(ui::gaugeFraction(100), 1.0);
    QCOMPARE(ui::gaugeFraction(150), 1.0);
    QCOMPARE(ui::gaugeFraction(NaN), 0.0);
    QCOMPARE(ui::gaugeFraction(INF), 1.0);
}

void TstUiRules::gaugeTextWholePart()
{
    QCOMPARE(ui::gaugeText(0.5), QStringLiteral("0%"));
    QCOMPARE(ui::gaugeText(74.99), QStringLiteral("74%"));
    QCOMPARE(ui::gaugeText(150), QStringLiteral("150%"));
    QCOMPARE(ui::gaugeText(0), QStringLiteral("—"));
    QCOMPARE(ui::gaugeText(-0.0), QStringLiteral("—"));
    QCOMPARE(ui::gaugeText(-1), QStringLiteral("—"));
    QCOMPARE(ui::gaugeText(NaN), QStringLiteral("—"));
    // Beyond the 64-bit range: the digits of the double itself, no overflow.
    QCOMPARE(ui::gaugeText(1e20), QStringLiteral("100000000000000000000%"));
    QVERIFY(ui::gaugeText(1e300).endsWith(u'%'));
    QCOMPARE(ui::gaugeText(9.3e18), QStringLiteral("9300000000000000000%"));
}

void TstUiRules::shareBarClamp()
{
    QCOMPARE(ui::clamp01(-0.2), 0.0);
    QCOMPARE(ui::clamp01(0.3), 0.3);
    QCOMPARE(ui::clamp01(1.7), 1.0);
    QCOMPARE(ui::clamp01(NaN), 0.0);
    QCOMPARE(ui::clamp01(-INF), 0.0);
}

void TstUiRules::initialsWords()
{
    QCOMPARE(initials("Иван Петров"), QStringLiteral("ИП"));
    QCOMPARE(initials("   Анна   Смирнова    Олеговна  "), QStringLiteral("АС"));
    QCOMPARE(initials("\t Анна  смирнова\t"), QStringLiteral("АС"));
    // A tab inside the name does not separate words.
    QCOMPARE(initials("Ann\tLee"), QStringLiteral("AN"));
    QCOMPARE(initials("анна"), QStringLiteral("АН"));
    QCOMPARE(initials("Bob"), QStringLiteral("BO"));
}

void TstUiRules::initialsFallbackAndShort()
{
    QCOMPARE(initials("X"), QStringLiteral("X"));
    QCOMPARE(initials("", "m7"), QStringLiteral("M7"));
    QCOMPARE(initials("   ", "m7"), QStringLiteral("M7"));
    QCOMPARE(initials("   ", ""), QString());
    QCOMPARE(initials("", "x"), QStringLiteral("X"));
    // The member id is used untrimmed.
    QCOMPARE(initials("", " ab"), QStringLiteral(" A"));
    // A name wins over the id even when it is one letter.
    QCOMPARE(initials("q", "m7"), QStringLiteral("Q"));
}

void TstUiRules::initialsGraphemes()
{
    // Skin-tone modifier and a ZWJ family stay whole.
    QCOMPARE(initials("👍🏽 Bob"), QString::fromUtf8("👍🏽B"));
    QCOMPARE(initials("👨‍👩‍👧x"), QString::fromUtf8("👨‍👩‍👧X"));
    QCOMPARE(initials("🇷🇺"), QString::fromUtf8("🇷🇺"));
    // A letter with a combining mark is one character, upper-cased with its mark.
    QCOMPARE(initials("e\u0301mile zola"), QString::fromUtf8("E\u0301Z"));
    QCOMPARE(initials("e\u0301\u0300a"), QString::fromUtf8("E\u0301\u0300A"));
    QCOMPARE(initials("ёлка"), QStringLiteral("ЁЛ"));
    // Astral-plane letters are not cut in half.
    QCOMPARE(initials("𝒜𝒝"), QString::fromUtf8("𝒜𝒝"));
}

void TstUiRules::initialsFullUpperCase()
{
    QCOMPARE(initials("ßa"), QStringLiteral("SSA"));
    QCOMPARE(initials("ǆemal"), QString::fromUtf8("ǄE"));
    QCOMPARE(initials("ﬁx yz"), QStringLiteral("FIY"));
    // Locale-independent: a Latin i becomes I, not a dotted İ.
    QCOMPARE(initials("ilya"), QStringLiteral("IL"));
}

void TstUiRules::graphemeHelpers()
{
    QCOMPARE(text::graphemeCount(QString()), 0);
    QCOMPARE(text::graphemeCount(QString::fromUtf8("пароль👍🏽")), 7);
    QCOMPARE(text::graphemeCount(QString::fromUtf8("e\u0301e\u0301")), 2);
    QCOMPARE(text::firstGraphemes(QString::fromUtf8("👨‍👩‍👧ab"), 1), QString::fromUtf8("👨‍👩‍👧"));
    QCOMPARE(text::firstGraphemes(QStringLiteral("ab"), 5), QStringLiteral("ab"));
    QCOMPARE(text::firstGraphemes(QStringLiteral("ab"), 0), QString());
    QCOMPARE(text::trimSpacesTabs(QStringLiteral(" \t a b\t ")), QStringLiteral("a b"));
    QCOMPARE(text::trimSpacesTabs(QStringLiteral("\na\n")), QStringLiteral("\na\n"));
}

QTEST_GUILESS_MAIN(TstUiRules)
#include "tst_uirules.moc"

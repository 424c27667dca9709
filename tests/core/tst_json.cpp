#include "core/json.h"
#include "testutil.h"

#include <QTest>
#include <cmath>
#include <limits>

class TstJson : public QObject
{
    Q_OBJECT
private slots:
    void jnumNonStrings();
    void jnumStrings_data();
    void jnumStrings();
    void jnumNonFiniteWords();
    void jnumEmbeddedNul();
    void toIntTruncatesAndRejects();
    void strictReaders();
    void objectsAllOrNothing();
};

void TstJson::jnumNonStrings()
{
    QCOMPARE(json::jnum(QJsonValue(QJsonValue::Undefined)), 0.0); // absent key
    QCOMPARE(json::jnum(QJsonObject().value(QLatin1String("missing"))), 0.0);
    QCOMPARE(json::jnum(val("null")), 0.0);
    QCOMPARE(json::jnum(val("[]")), 0.0);
    QCOMPARE(json::jnum(val("[5]")), 0.0);
    QCOMPARE(json::jnum(val("{}")), 0.0);
    QCOMPARE(json::jnum(val("{\"a\":1}")), 0.0);
    QCOMPARE(json::jnum(val("true")), 1.0);
    QCOMPARE(json::jnum(val("false")), 0.0);
    QCOMPARE(json::jnum(val("42")), 42.0);
    QCOMPARE(json::jnum(val("-2.5")), -2.5);
    QCOMPARE(json::jnum(val("1e3")), 1000.0);
}

void TstJson::jnumStrings_data()
{
    QTest::addColumn<QString>("s");
    QTest::addColumn<double>("expected");
    QTest::newRow("integer") << "42" << 42.0;
    QTest::newRow("decimal") << "12.5" << 12.5;
    QTest::newRow("negative") << "-3" << -3.0;
    QTest::newRow("plus sign") << "+7" << 7.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("exponent upper") << "2.5E-1" << 0.25;
    QTest::newRow("leading dot") << ".5" << 0.5;
    QTest::newRow("hex, as C strtod reads it") << "0x10" << 16.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("leading space") << " 42" << 0.0;
    QTest::newRow("trailing space") << "42 " << 0.0;
    QTest::newRow("leading tab") << "\t42" << 0.0;
    QTest::newRow("leading newline") << "\n42" << 0.0;
    QTest::newRow("leading vtab") << "\v42" << 0.0;
    QTest::newRow("leading formfeed") << "\f42" << 0.0;
    QTest::newRow("leading cr") << "\r42" << 0.0;
    QTest::newRow("decimal comma") << "12,5" << 0.0;
    QTest::newRow("percent") << "80%" << 0.0;
    QTest::newRow("word") << "abc" << 0.0;
    QTest::newRow("only sign") << "-" << 0.0;
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0664\u0662") << 0.0;
    QTest::newRow("no-break space before") << QString::fromUtf8("\u00a042") << 0.0;
}

void TstJson::jnumStrings()
{
    QFETCH(QString, s);
    QFETCH(double, expected);
    QCOMPARE(json::jnum(QJsonValue(s)), expected);
}

void TstJson::jnumNonFiniteWords()
{
    // The C conversion accepts these words; jnum passes them on, integer fields turn them into 0.
    QVERIFY(std::isnan(json::jnum(QJsonValue(QStringLiteral("nan")))));
    QVERIFY(std::isinf(json::jnum(QJsonValue(QStringLiteral("inf")))));
    QVERIFY(std::isinf(json::jnum(QJsonValue(QStringLiteral("-Infinity")))));
    QCOMPARE(json::toInt(json::jnum(QJsonValue(QStringLiteral("nan")))), 0);
    QCOMPARE(json::toInt(json::jnum(QJsonValue(QStringLiteral("inf")))), 0);
}

void TstJson::jnumEmbeddedNul()
{
    // The C conversion would stop at the NUL and call "1" the whole string.
    QCOMPARE(json::jnum(QJsonValue(QString::fromUtf8("1\0002", 3))), 0.0);
}

void TstJson::toIntTruncatesAndRejects()
{
    QCOMPARE(json::toInt(2.9), 2);
    QCOMPARE(json::toInt(-2.9), -2);
    QCOMPARE(json::toInt(-0.0), 0);
    QCOMPARE(json::toInt(std::numeric_limits<double>::quiet_NaN()), 0);
    QCOMPARE(json::toInt(std::numeric_limits<double>::infinity()), 0);
    QCOMPARE(json::toInt(-std::numeric_limits<double>::infinity()), 0);
    QCOMPARE(json::toInt(9223372036854775808.0), 0); // 2^63 does not fit
    QCOMPARE(json::toInt(1e300), 0);
    QCOMPARE(json::toInt(-9223372036854775808.0), std::numeric_limits<qint64>::min());
    QCOMPARE(json::toInt(9223372036854774784.0), Q_INT64_C(9223372036854774784)); // largest double below 2^63
}

void TstJson::strictReaders()
{
    QCOMPARE(json::text(val("\"a\"")), QStringLiteral("a"));
    QCOMPARE(json::text(val("5"), QStringLiteral("d")), QStringLiteral("d"));
    QCOMPARE(json::text(val("null"), QStringLiteral("d")), QStringLiteral("d"));
    QCOMPARE(json::text(val("\"\""), QStringLiteral("d")), QString()); // an empty string is a string

    QCOMPARE(json::number(val("\"80\"")), 0.0);
    QCOMPARE(json::number(val("\"80\""), -1), -1.0);
    QCOMPARE(json::number(val("null"), -1), -1.0);
    QCOMPARE(json::number(val("true"), -1), 1.0);
    QCOMPARE(json::number(val("0.5"), -1), 0.5);

    QCOMPARE(json::flag(val("true")), true);
    QCOMPARE(json::flag(val("1")), false);
    QCOMPARE(json::flag(val("\"true\""), true), true);
    QCOMPARE(json::flag(val("0"), true), true);

    QCOMPARE(json::looseFlag(val("1")), true);
    QCOMPARE(json::looseFlag(val("0"), true), false);
    QCOMPARE(json::looseFlag(val("2"), true), true); // only 0 and 1 count
    QCOMPARE(json::looseFlag(val("\"1\"")), false);
}

void TstJson::objectsAllOrNothing()
{
    QCOMPARE(json::objects(val("[{\"a\":1},{}]")).size(), 2);
    QCOMPARE(json::objects(val("[{\"a\":1},1]")).size(), 0);
    QCOMPARE(json::objects(val("[{},null]")).size(), 0);
    QCOMPARE(json::objects(val("{}")).size(), 0);
    QCOMPARE(json::objects(val("\"x\"")).size(), 0);
    QCOMPARE(json::objects(QJsonValue(QJsonValue::Undefined)).size(), 0);
    QVERIFY(json::object(val("[1]")).isEmpty());
    QCOMPARE(json::object(val("{\"a\":1}")).value(QLatin1String("a")).toInt(), 1);
}

QTEST_GUILESS_MAIN(TstJson)
#include "tst_json.moc"

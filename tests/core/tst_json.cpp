// jnum and the strict readers: what each JSON value reads as.
#include "core/json.h"
#include "testjson.h"

#include <QTest>
#include <cmath>
#include <limits>

class TstJson : public QObject
{
    Q_OBJECT
private slots:
    void jnum_data()
    {
        QTest::addColumn<QString>("json"); // the value, written as JSON
        QTest::addColumn<double>("expected");
        const char *rows[][2] = {
            {"null", "0"}, {"[5]", "0"}, {"{\"a\":1}", "0"}, {"true", "1"}, {"false", "0"}, {"-2.5", "-2.5"},
            {"1e3", "1000"}, {"\"42\"", "42"}, {"\"+7\"", "7"}, {"\"2.5E-1\"", "0.25"}, {"\".5\"", "0.5"},
            {"\"0x10\"", "16"}, // as C strtod reads it
            {"\"\"", "0"}, {"\" 42\"", "0"}, {"\"42 \"", "0"}, {"\"\\t42\"", "0"}, {"\"\\n42\"", "0"},
            {"\"12,5\"", "0"}, {"\"80%\"", "0"}, {"\"-\"", "0"}, {"\"\\u0664\\u0662\"", "0"}, {"\"\\u00a042\"", "0"},
            {"\"1\\u00002\"", "0"}, // the C conversion would stop at the NUL and call "1" the whole string
        };
        for (const auto &r : rows)
            QTest::newRow(r[0]) << QString::fromLatin1(r[0]) << QByteArray(r[1]).toDouble();
    }
    void jnum()
    {
        QFETCH(QString, json);
        QFETCH(double, expected);
        QCOMPARE(json::jnum(val(json.toUtf8().constData())), expected);
        QCOMPARE(json::jnum(QJsonValue(QJsonValue::Undefined)), 0.0); // an absent key
    }

    void nonFiniteAndIntegers()
    {
        // The C conversion accepts these words; jnum passes them on, integer fields turn them into 0.
        QVERIFY(std::isnan(json::jnum(QJsonValue(QStringLiteral("nan")))));
        QVERIFY(std::isinf(json::jnum(QJsonValue(QStringLiteral("-Infinity")))));
        QCOMPARE(json::toInt(json::jnum(QJsonValue(QStringLiteral("inf")))), 0);
        QCOMPARE(json::toInt(2.9), 2);
        QCOMPARE(json::toInt(-2.9), -2);
        QCOMPARE(json::toInt(std::numeric_limits<double>::quiet_NaN()), 0);
        QCOMPARE(json::toInt(9223372036854775808.0), 0); // 2^63 does not fit
        QCOMPARE(json::toInt(-9223372036854775808.0), std::numeric_limits<qint64>::min());
        QCOMPARE(json::toInt(9223372036854774784.0), Q_INT64_C(9223372036854774784)); // largest double below 2^63
    }

    void strictReaders()
    {
        QCOMPARE(json::text(val("5"), QStringLiteral("d")), QStringLiteral("d"));
        QCOMPARE(json::text(val("\"\""), QStringLiteral("d")), QString()); // an empty string is a string
        QCOMPARE(json::number(val("\"80\""), -1), -1.0);
        QCOMPARE(json::number(val("true"), -1), 1.0);
        QCOMPARE(json::flag(val("1")), false);
        QCOMPARE(json::flag(val("0"), true), true);
        QCOMPARE(json::looseFlag(val("1")), true);
        QCOMPARE(json::looseFlag(val("2"), true), true); // only 0 and 1 count
        QCOMPARE(json::looseFlag(val("\"1\"")), false);
        // Arrays of objects are all or nothing.
        QCOMPARE(json::objects(val("[{\"a\":1},{}]")).size(), 2);
        QCOMPARE(json::objects(val("[{\"a\":1},1]")).size(), 0);
        QCOMPARE(json::objects(val("{}")).size(), 0);
        QVERIFY(json::object(val("[1]")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstJson)
#include "tst_json.moc"

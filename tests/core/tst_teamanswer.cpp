// (No "//" inside the raw JSON below: moc would read it as a comment.)
// The two readers of the team answer decode every answer alike: simdjson straight into the
// records and Qt's parser with the account decoder; what simdjson cannot read falls back to Qt.
#include "core/teamanswer.h"
#include "testjson.h"
#include "testmain.h"

#include <QMetaProperty>
#include <QTest>

namespace {

// Every field of every account (record ids aside, which are fresh each time).
QString dump(const QList<TeamAcct> &list)
{
    QStringList out;
    for (const TeamAcct &a : list) {
        QStringList f;
        const QMetaObject &mo = TeamAcct::staticMetaObject;
        for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
            const QMetaProperty p = mo.property(i);
            const QVariant v = p.readOnGadget(&a);
            if (v.canConvert<QString>() && v.typeId() != QMetaType::QVariantList)
                f << QString(p.name()) + '=' + v.toString();
        }
        auto nested = [&](const char *name, const QVariantList &items) {
            for (const QVariant &item : items) {
                const QMetaObject *m = QMetaType(item.metaType()).metaObject();
                for (int i = 0; m && i < m->propertyCount(); ++i)
                    if (QByteArray(m->property(i).name()) != "id" && QByteArray(m->property(i).name()) != "key")
                        f << QString(name) + '.' + m->property(i).name() + '='
                                 + m->property(i).readOnGadget(item.constData()).toString();
            }
        };
        nested("scoped", a.weeklyScopedList());
        nested("session", a.liveSessionsList());
        nested("user", a.usersList());
        nested("device", a.devicesList());
        out << f.join(',');
    }
    return out.join('\n');
}

} // namespace

class TstTeamAnswer : public QObject
{
    Q_OBJECT
private slots:
    void bothReadersAgree_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("simdjsonReads");
        QTest::addColumn<int>("accounts");
        QTest::newRow("full account") << QByteArray(R"({"accounts":[)") + kFullAccount + "]}" << true << 1;
        QTest::newRow("every kind mistyped") << QByteArray(R"({"accounts":[{
            "email":5,"account_email":"fallback@x","provider":null,"member_name":"","member_id":"m9",
            "status":false,"has_key":1,"online":"true","seven_day_pct":"80","five_hour_pct":true,"cost_usd":-0.0,
            "total_input":18446744073709551615,"limits":[],"five_hour_burn":{"eta":"1"},
            "live_sessions":[{}, 3],"users":{"name":"x"},"devices":[]}]})")
                                             << true << 1;
        QTest::newRow("a key twice: the last counts") << QByteArray(R"({"accounts":[{"email":"first","email":"last",
            "seven_day_pct":1,"seven_day_pct":2}]})") << true << 1;
        QTest::newRow("accounts not all objects") << QByteArray(R"({"accounts":[{"email":"a"},1]})") << true << 0;
        QTest::newRow("accounts absent") << QByteArray(R"({"error":"nope"})") << true << 0;
        QTest::newRow("top level is an array") << QByteArray("[1,2]") << true << 0;
        QTest::newRow("sorted by load order rules") << QByteArray(R"({"accounts":[
            {"email":"d","seven_day_pct":70},{"email":"c","has_telemetry":true,"seven_day_pct":70},
            {"email":"b","seven_day_pct":95},{"email":"a","has_telemetry":true,"online":true,"seven_day_pct":50}]})")
                                                    << true << 4;
        QTest::newRow("integer beyond 64 bits: Qt reads it")
            << QByteArray(R"({"accounts":[{"email":"big","cost_usd":123456789012345678901234567890}]})") << false << 1;
        QTest::newRow("invalid UTF-8: read by neither") << QByteArray("{\"accounts\":[{\"email\":\"a\xff\"}]}") << false << 0;
        QTest::newRow("not JSON") << QByteArray("<html>") << false << 0;
        QTest::newRow("empty body") << QByteArray() << false << 0;
    }
    void bothReadersAgree()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, simdjsonReads);
        const QList<TeamAcct> qt = teamanswer::viaQt(body);
        const std::optional<QList<TeamAcct>> simd = teamanswer::viaSimdjson(body);
        QCOMPARE(simd.has_value(), simdjsonReads);
        if (simd)
            QCOMPARE(dump(*simd), dump(qt));
        const QList<TeamAcct> chosen = decodeTeamAnswer(body);
        QTEST(int(chosen.size()), "accounts");
        QCOMPARE(dump(chosen), dump(qt));
        for (qsizetype i = 0; i < qt.size(); ++i)
            QCOMPARE(chosen[i].rev, qt[i].rev);
    }
};

CORVANE_TEST_CLASS(TstTeamAnswer)
#include "tst_teamanswer.moc"

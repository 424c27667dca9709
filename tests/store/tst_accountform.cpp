// The account form's state: prefill from an edited account, the owner choices, the price field,
// the registry body it sends. (Which form a late save's answer closes: the late-answer table.)
#include "kit.h"
#include "store/accountform.h"
#include "testmain.h"

#include <QJsonDocument>
#include <QTest>

namespace {

TeamAcct edited()
{
    TeamAcct a;
    a.email = "team@corvane.dev";
    a.provider = "claude";
    a.group = "DEV";
    a.owner = "Анна Иванова";
    a.memberId = "m1";
    a.plan = "Max";
    a.price = 200;
    a.currency = "EUR";
    a.payMethod = "карта";
    a.renewDate = "2026-04-15";
    a.status = "hold";
    a.notes = "n";
    a.authType = "api_key";
    a.ccProvider = "zai";
    a.baseUrl = "https://api.z.ai";
    a.model = "glm-4.6";
    return a;
}

Member member(const QString &id, const QString &name)
{
    Member m;
    m.memberId = id;
    m.name = name;
    return m;
}

QString labels(const QVariantList &options)
{
    QStringList out;
    for (const QVariant &o : options)
        out << o.toMap().value("label").toString() + '=' + o.toMap().value("value").toString();
    return out.join(" | ");
}

} // namespace

using Edit = std::function<void(TeamAcct &)>;
using Fill = std::function<void(AccountFormState &)>;
Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(Fill)

class TstAccountForm : public QObject
{
    Q_OBJECT
private slots:
    void prefill_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QString>("expected"); // provider owner price currency authType status
        QTest::newRow("as stored") << Edit([](TeamAcct &) {}) << "claude m1 200 EUR api_key hold";
        QTest::newRow("unknown provider shows other") << Edit([](TeamAcct &a) { a.provider = "mistral"; })
                                                      << "other m1 200 EUR api_key hold";
        QTest::newRow("owner by name when no member id") << Edit([](TeamAcct &a) { a.memberId.clear(); })
                                                         << "claude Анна·Иванова 200 EUR api_key hold";
        QTest::newRow("no price, currency or auth") << Edit([](TeamAcct &a) {
            a.price = 0;
            a.currency.clear();
            a.authType.clear();
        }) << "claude m1 - USD oauth hold";
    }
    void prefill()
    {
        QFETCH(Edit, edit);
        TeamAcct a = edited();
        edit(a);
        AccountFormState f;
        f.setStore(nullptr);
        f.prefill(a);
        QStringList got{f.provider(), QString(f.owner()).replace(' ', QChar(0xB7)),
                        f.price().isEmpty() ? "-" : f.price(), f.currency(), f.authType(), f.status()};
        QFETCH(QString, expected);
        QCOMPARE(got.join(' '), expected);
        QVERIFY(f.editing());
        QCOMPARE(f.title(), QString("Редактировать аккаунт"));
        QVERIFY(f.apiKey().isEmpty()); // the stored key never reaches the client
        f.prefill(std::nullopt);
        QCOMPARE(f.title(), QString("Новый аккаунт"));
        QCOMPARE(QStringList({f.provider(), f.currency(), f.status(), f.authType()}).join(' '),
                 QString("claude USD active oauth"));
    }

    void priceField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("value");
        QTest::newRow("whole") << "20" << true << 20.0;
        QTest::newRow("decimal comma") << "19,99" << true << 19.99;
        QTest::newRow("spaces around") << " 7.5 " << true << 7.5;
        QTest::newRow("not a number") << "двадцать" << false << 0.0;
        QTest::newRow("infinity is no price") << "inf" << false << 0.0;
        QTest::newRow("two commas") << "1,2,3" << false << 0.0;
    }
    void priceField()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(double, value);
        const std::optional<double> v = AccountFormState::readPrice(text);
        QCOMPARE(v.has_value(), valid);
        if (valid)
            QCOMPARE(*v, value);
    }

    // The field shows what reads back as the very same price, so an unchanged save keeps it.
    void priceRoundTrips()
    {
        for (double p : {20.0, 19.99, 0.1 + 0.2, 1234567.0, 1234567.89, 1e-7, 3e20, 99999999.99}) {
            const QString shown = AccountFormState::priceText(p);
            QCOMPARE(AccountFormState::readPrice(shown).value_or(-1), p);
        }
        QCOMPARE(AccountFormState::priceText(1234567), QString("1234567"));
        QCOMPARE(AccountFormState::priceText(0), QString());
    }

    void body_data()
    {
        QTest::addColumn<Fill>("fill");
        QTest::addColumn<QString>("expected"); // compact JSON of the body
        QTest::addColumn<bool>("canSave");
        QTest::newRow("new entry, trimmed, empty price is null")
            << Fill([](AccountFormState &f) {
                   f.setEmail(" a@x.io ");
                   f.setGroup(" DEV ");
                   f.setPlan(" Pro ");
                   f.setCurrency(" USD ");
                   f.setPayMethod(" карта ");
                   f.setRenew(" 2026-01-01 ");
                   f.setNotes(" as typed ");
               })
            << R"({"auth_type":"oauth","base_url":"","cc_provider":"","currency":"USD","email":" a@x.io ","group_name":"DEV","model":"","notes":" as typed ","owner":"","pay_method":"карта","plan":"Pro","price":null,"provider":"claude","renew_date":"2026-01-01","status":"active"})"
            << true;
        QTest::newRow("comma price, key with its connection")
            << Fill([](AccountFormState &f) {
                   f.setEmail("k@x");
                   f.setPrice("19,99");
                   f.setAuthType("api_key");
                   f.setApiKey("sk-1");
                   f.setCcProvider(" zai ");
                   f.setBaseUrl(" https://z ");
                   f.setModel(" glm ");
               })
            << R"({"api_key":"sk-1","auth_type":"api_key","base_url":"https://z","cc_provider":"zai","currency":"USD","email":"k@x","group_name":"","model":"glm","notes":"","owner":"","pay_method":"","plan":"","price":19.99,"provider":"claude","renew_date":"","status":"active"})"
            << true;
        QTest::newRow("oauth after filling the key fields sends none of them")
            << Fill([](AccountFormState &f) {
                   f.setEmail("k@x");
                   f.setAuthType("api_key");
                   f.setApiKey("sk-secret");
                   f.setCcProvider("zai");
                   f.setBaseUrl("https://z");
                   f.setModel("glm");
                   f.setAuthType("oauth");
               })
            << R"({"auth_type":"oauth","base_url":"","cc_provider":"","currency":"USD","email":"k@x","group_name":"","model":"","notes":"","owner":"","pay_method":"","plan":"","price":null,"provider":"claude","renew_date":"","status":"active"})"
            << true;
        QTest::newRow("empty key keeps the stored one")
            << Fill([](AccountFormState &f) {
                   f.setEmail("k@x");
                   f.setAuthType("api_key");
               })
            << R"({"auth_type":"api_key","base_url":"","cc_provider":"","currency":"USD","email":"k@x","group_name":"","model":"","notes":"","owner":"","pay_method":"","plan":"","price":null,"provider":"claude","renew_date":"","status":"active"})"
            << true;
        QTest::newRow("a price that is no number cannot be saved")
            << Fill([](AccountFormState &f) {
                   f.setEmail("k@x");
                   f.setPrice("20$");
               })
            << QString() << false;
        QTest::newRow("only spaces in the e-mail can be saved") << Fill([](AccountFormState &f) { f.setEmail("  "); })
                                                                << QString() << true;
        QTest::newRow("no e-mail") << Fill([](AccountFormState &) {}) << QString() << false;
    }
    void body()
    {
        QFETCH(Fill, fill);
        QFETCH(QString, expected);
        AccountFormState f;
        f.setStore(nullptr);
        fill(f);
        QTEST(f.canSave(), "canSave");
        if (!expected.isEmpty())
            QCOMPARE(QString::fromUtf8(QJsonDocument(f.body()).toJson(QJsonDocument::Compact)), expected);
    }

    void ownerChoices()
    {
        StoreFixture f0;
        f0->setMembers({member("m1", "Анна"), member("m2", "Иван")});
        AccountFormState f;
        f.prefill(std::nullopt);
        QCOMPARE(labels(f.ownerOptions()), QString("— не задан —= | Анна · m1=m1 | Иван · m2=m2"));
        QCOMPARE(f.ownerIndex(), 0);

        TeamAcct a = edited();
        f.prefill(a);
        QCOMPARE(f.ownerIndex(), 1);
        // An owner the roster no longer knows stays selected and is saved unchanged.
        a.memberId = "gone";
        f.prefill(a);
        QCOMPARE(labels(f.ownerOptions()), QString("— не задан —= | gone=gone | Анна · m1=m1 | Иван · m2=m2"));
        QCOMPARE(f.ownerIndex(), 1);
        f.setOwner("m2");
        QCOMPARE(f.ownerIndex(), 3);
        QVERIFY(labels(f.ownerOptions()).contains("gone=gone")); // the pick can be undone
        f.setOwner("gone");
        QCOMPARE(f.body().value("owner").toString(), QString("gone"));
    }
};

CORVANE_TEST_CLASS(TstAccountForm)
#include "tst_accountform.moc"

// The one rule every answer of the team server is read by, as a table: kind of request x status x
// body -> verdict. Then the writes' outcome built on it: success, expiry and the toast.
#include "kit.h"
#include "net/answer.h"
#include "store/writes.h"

#include <QTest>

using answer::Kind;
using answer::Verdict;
using writes::Write;

namespace {
HttpReply reply(int status, const QByteArray &body)
{
    HttpReply r;
    r.ok = true;
    r.status = status;
    r.body = body;
    const QJsonDocument d = QJsonDocument::fromJson(body);
    r.json = d.isObject() ? d.object() : QJsonObject();
    return r;
}
const HttpReply kNoAnswer = [] { HttpReply r; r.error = QStringLiteral("Сервер недоступен."); return r; }();
} // namespace

Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(Verdict)
Q_DECLARE_METATYPE(Write)
Q_DECLARE_METATYPE(HttpReply)

class TestAnswer : public QObject
{
    Q_OBJECT
private slots:
    void verdicts_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<HttpReply>("r");
        QTest::addColumn<Verdict>("verdict");
        const QByteArray html = "<html><body>502 Bad Gateway</body></html>";
        for (Kind k : {Kind::Load, Kind::Write, Kind::Data}) {
            const QByteArray n = k == Kind::Load ? "load " : k == Kind::Write ? "write " : "data ";
            QTest::newRow(n + "no answer or time-out") << k << kNoAnswer << Verdict::Failed;
            QTest::newRow(n + "401") << k << reply(401, R"({"error":"unauthorized"})") << Verdict::Expired;
            QTest::newRow(n + "401 html") << k << reply(401, html) << Verdict::Expired;
            QTest::newRow(n + "403") << k << reply(403, R"({"error":"forbidden"})") << Verdict::Refused;
            QTest::newRow(n + "500 ok true") << k << reply(500, R"({"ok":true})") << Verdict::Failed;
            QTest::newRow(n + "502 html") << k << reply(502, html) << Verdict::Failed;
            QTest::newRow(n + "404") << k << reply(404, R"({"error":"not found"})") << Verdict::Failed;
            QTest::newRow(n + "302 kept") << k << reply(302, "") << Verdict::Failed;
        }
        QTest::newRow("load 304") << Kind::Load << reply(304, "") << Verdict::Unchanged;
        QTest::newRow("write 304") << Kind::Write << reply(304, "") << Verdict::Failed;
        QTest::newRow("data 304") << Kind::Data << reply(304, "") << Verdict::Failed;
        QTest::newRow("load 200 object") << Kind::Load << reply(200, R"({"members":[]})") << Verdict::Ok;
        QTest::newRow("load 200 empty object") << Kind::Load << reply(200, " {} \n") << Verdict::Ok;
        QTest::newRow("load 200 html") << Kind::Load << reply(200, html) << Verdict::Failed;
        QTest::newRow("load 200 array") << Kind::Load << reply(200, "[1,2]") << Verdict::Failed;
        QTest::newRow("load 200 nothing") << Kind::Load << reply(200, "") << Verdict::Failed;
        QTest::newRow("load 200 unparsed object") << Kind::Load << [] { HttpReply r = reply(200, "{\"a\":1}"); r.json = {}; return r; }() << Verdict::Ok;
        QTest::newRow("write 200 ok true") << Kind::Write << reply(200, R"({"ok":true})") << Verdict::Ok;
        QTest::newRow("write 201 without ok") << Kind::Write << reply(201, R"({"id":"m1"})") << Verdict::Ok;
        QTest::newRow("write 204 no body") << Kind::Write << reply(204, "") << Verdict::Ok;
        QTest::newRow("write 200 ok false") << Kind::Write << reply(200, R"({"ok":false,"error":"занято"})") << Verdict::Failed;
        QTest::newRow("write 200 ok \"false\"") << Kind::Write << reply(200, R"({"ok":"false"})") << Verdict::Ok;
        QTest::newRow("write 200 html") << Kind::Write << reply(200, html) << Verdict::Failed;
        QTest::newRow("write 200 nothing") << Kind::Write << reply(200, "") << Verdict::Failed;
        QTest::newRow("data 200 bytes") << Kind::Data << reply(200, "\x89PNG") << Verdict::Ok;
        QTest::newRow("data 200 nothing") << Kind::Data << reply(200, "") << Verdict::Failed;
    }
    void verdicts()
    {
        QFETCH(Kind, kind);
        QFETCH(HttpReply, r);
        QFETCH(Verdict, verdict);
        QCOMPARE(answer::sort(r, kind), verdict);
    }

    // What a write tells the user: the server's own reason when it gave one.
    void writeOutcomes_data()
    {
        QTest::addColumn<Write>("write");
        QTest::addColumn<HttpReply>("r");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("expired");
        QTest::addColumn<QString>("toast");
        const HttpReply taken = reply(409, R"({"ok":false,"error":"логин занят"})");
        const HttpReply numeric = reply(422, R"({"ok":false,"error":42})");
        const QString expired = QStringLiteral("Сессия истекла — войди заново");
        QTest::newRow("create done") << Write::CreateMember << reply(200, R"({"login":"a"})") << true << false << "";
        QTest::newRow("create no answer") << Write::CreateMember << kNoAnswer << false << false << "Ошибка сети";
        QTest::newRow("create taken") << Write::CreateMember << taken << false << false << "логин занят";
        QTest::newRow("update 200 ok false") << Write::UpdateMember << reply(200, R"({"ok":false,"error":"нет"})") << false << false << "нет";
        QTest::newRow("update numeric error") << Write::UpdateMe << numeric << false << false << "Ошибка";
        QTest::newRow("update 500 ok true") << Write::UpdateMe << reply(500, R"({"ok":true})") << false << false << "Ошибка";
        QTest::newRow("update me 401") << Write::UpdateMe << reply(401, "{}") << false << true << expired;
        QTest::newRow("reset with password") << Write::ResetPassword << reply(200, R"({"password":"p"})") << true << false << "";
        QTest::newRow("action done") << Write::MemberAction << reply(200, R"({"ok":true})") << true << false << "Готово";
        QTest::newRow("delete member 204") << Write::DeleteMember << reply(204, "") << true << false << "Сотрудник удалён";
        QTest::newRow("delete member 401") << Write::DeleteMember << reply(401, "{}") << false << true << expired;
        QTest::newRow("delete account 403") << Write::DeleteAccount << reply(403, R"({"error":"только админ"})") << false << false << "только админ";
        QTest::newRow("save 409 text") << Write::SaveAccount << taken << false << false << "Ошибка сохранения (код 409): логин занят";
        QTest::newRow("save html 500") << Write::SaveAccount << reply(500, "<html/>") << false << false << "Ошибка сохранения (код 500)";
        QTest::newRow("password 200 without ok") << Write::ChangeMyPassword << reply(200, "{}") << true << false << "Пароль изменён";
        QTest::newRow("password wrong current 401") << Write::ChangeMyPassword << reply(401, R"({"ok":false,"error":"invalid_credentials"})") << false << false << "Не удалось сменить пароль (проверь текущий)";
        QTest::newRow("password refused") << Write::ChangeMyPassword << reply(400, R"({"ok":false})") << false << false << "Не удалось сменить пароль (проверь текущий)";
        QTest::newRow("photo refused") << Write::AvatarUpload << reply(413, R"({"error":"слишком большое"})") << false << false << "слишком большое";
    }
    void writeOutcomes()
    {
        QFETCH(Write, write);
        QFETCH(HttpReply, r);
        QFETCH(bool, ok);
        QFETCH(bool, expired);
        QFETCH(QString, toast);
        const writes::Outcome o = writes::outcome(write, r);
        QCOMPARE(o.toast, toast);
        QCOMPARE(o.ok, ok);
        QCOMPARE(o.expired, expired);
    }
};

QTEST_GUILESS_MAIN(TestAnswer)
#include "tst_answer.moc"

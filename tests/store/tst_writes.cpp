// The outcome rule of every write, as a table: what the server answered -> whether the write went
// through, whether the session is marked expired, and the toast. Pure: no server, no Store.
#include "kit.h"
#include "store/writes.h"

#include <QTest>

using writes::Outcome;
using writes::Write;

namespace {
HttpReply answer(int status, const char *json = "{}")
{
    HttpReply r;
    r.ok = true;
    r.status = status;
    r.body = json;
    r.json = obj(json);
    return r;
}
const HttpReply kNoAnswer = [] { HttpReply r; r.error = QStringLiteral("Сервер недоступен."); return r; }();
const QString kExpired = QStringLiteral("Сессия истекла — войди заново");
} // namespace

Q_DECLARE_METATYPE(Write)
Q_DECLARE_METATYPE(HttpReply)

class TestWrites : public QObject
{
    Q_OBJECT
private slots:
    void outcomes_data()
    {
        QTest::addColumn<Write>("write");
        QTest::addColumn<HttpReply>("reply");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("expired");
        QTest::addColumn<QString>("toast");
        auto row = [](const QByteArray &name, Write w, const HttpReply &r, bool ok, bool expired, const QString &toast) {
            QTest::newRow(name.constData()) << w << r << ok << expired << toast;
        };
        const HttpReply u401 = answer(401, R"({"error":"unauthorized"})");
        const HttpReply taken = answer(409, R"({"ok":false,"error":"логин занят"})");
        const HttpReply numeric = answer(422, R"({"ok":false,"error":42})");
        const HttpReply html = [] { HttpReply r = answer(500); r.json = {}; r.body = "<html/>"; return r; }();

        // Roster and own-profile edits: silent on a transport failure, 401 expires quietly, a refusal
        // shows the server's text or "Ошибка". Success is "ok" true OR a 2xx status.
        for (Write w : {Write::CreateMember, Write::UpdateMember, Write::UpdateMe}) {
            const QString saved = w == Write::CreateMember ? QString() : QStringLiteral("Сохранено ✓");
            const QByteArray n = w == Write::CreateMember ? "create" : w == Write::UpdateMember ? "update" : "update me";
            row(n + " no answer", w, kNoAnswer, false, false, "");
            row(n + " 401", w, u401, false, true, "");
            row(n + " refused with text", w, taken, false, false, "логин занят");
            row(n + " numeric error", w, numeric, false, false, "Ошибка");
            row(n + " html 500", w, html, false, false, "Ошибка");
            row(n + " 200 with ok false", w, answer(200, R"({"ok":false})"), true, false, saved);
            row(n + " 500 with ok true", w, answer(500, R"({"ok":true})"), true, false, saved);
        }
        // Other roster actions say what happened, failures included.
        row("action no answer", Write::MemberAction, kNoAnswer, false, false, "Ошибка сети");
        row("action 401", Write::MemberAction, u401, false, true, kExpired);
        row("action refused", Write::MemberAction, taken, false, false, "логин занят");
        row("action html 500", Write::MemberAction, html, false, false, "Ошибка");
        row("action done", Write::MemberAction, answer(200, R"({"ok":true})"), true, false, "Готово");
        row("reset with password", Write::ResetPassword, answer(200, R"({"password":"p"})"), true, false, "");
        row("reset without password", Write::ResetPassword, answer(200), true, false, "Готово");
        row("reset refused with password", Write::ResetPassword, answer(500, R"({"password":"p"})"), false, false, "Ошибка");
        // Deletes read the status only; a member's delete does not expire the session on 401.
        row("delete member 204", Write::DeleteMember, answer(204), true, false, "Сотрудник удалён");
        row("delete member 401", Write::DeleteMember, u401, false, false, "Не удалось удалить");
        row("delete member ok true 500", Write::DeleteMember, answer(500, R"({"ok":true})"), false, false, "Не удалось удалить");
        row("delete member no answer", Write::DeleteMember, kNoAnswer, false, false, "Не удалось удалить");
        row("delete account 200", Write::DeleteAccount, answer(200), true, false, "Удалено");
        row("delete account 401", Write::DeleteAccount, u401, false, true, "");
        row("delete account 500", Write::DeleteAccount, html, false, false, "Не удалось удалить");
        row("delete account no answer", Write::DeleteAccount, kNoAnswer, false, false, "Не удалось удалить");
        // The registry save names the status and the server's text.
        row("save 201", Write::SaveAccount, answer(201), true, false, "Сохранено ✓");
        row("save 400 ok true", Write::SaveAccount, answer(400, R"({"ok":true})"), true, false, "Сохранено ✓");
        row("save 401", Write::SaveAccount, u401, false, true, kExpired);
        row("save 409 text", Write::SaveAccount, taken, false, false, "Ошибка сохранения (код 409): логин занят");
        row("save 422 numeric", Write::SaveAccount, numeric, false, false, "Ошибка сохранения (код 422)");
        row("save html 500", Write::SaveAccount, html, false, false, "Ошибка сохранения (код 500)");
        row("save no answer", Write::SaveAccount, kNoAnswer, false, false, "Ошибка сети");
        // The own password: only "ok" true counts, whatever the status.
        row("password ok", Write::ChangeMyPassword, answer(500, R"({"ok":true})"), true, false, "Пароль изменён");
        row("password 200 ok missing", Write::ChangeMyPassword, answer(200), false, false, "Не удалось сменить пароль (проверь текущий)");
        row("password no answer", Write::ChangeMyPassword, kNoAnswer, false, false, "Не удалось сменить пароль (проверь текущий)");
        // The own photo.
        row("photo ok", Write::AvatarUpload, answer(200, R"({"ok":true})"), true, false, "Фото обновлено");
        row("photo refused", Write::AvatarUpload, answer(400, R"({"ok":false,"error":"big"})"), false, false, "Не удалось загрузить фото");
        row("photo no answer", Write::AvatarUpload, kNoAnswer, false, false, "Не удалось загрузить фото");
        row("photo 401", Write::AvatarUpload, answer(401), false, true, kExpired);
    }
    void outcomes()
    {
        QFETCH(Write, write);
        QFETCH(HttpReply, reply);
        QFETCH(bool, ok);
        QFETCH(bool, expired);
        QFETCH(QString, toast);
        const Outcome o = writes::outcome(write, reply);
        QCOMPARE(o.toast, toast);
        QCOMPARE(o.ok, ok);
        QCOMPARE(o.expired, expired);
    }
};

QTEST_GUILESS_MAIN(TestWrites)
#include "tst_writes.moc"

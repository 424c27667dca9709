// The intake: reports from members' machines (Claude Code's OpenTelemetry export, status line
// and hooks; the presence agent's heartbeat and Codex readings). Each is authorised by the
// member's credential, and the member is always the credential's: a body never names who it is
// from. A report is stored in full and committed before it is acknowledged, or not at all;
// reports arriving together share one commit (groupcommit.h).
#include "server.h"

#include "intake.h"

#include <QCryptographicHash>

#include <algorithm>

namespace {

constexpr qsizetype kReportCap = 64 * 1024;  // a status line's or hook's input is a few kilobytes

QString headerText(const Ctx &c, const QByteArray &name, int maxLen = 200) {
    return QString::fromUtf8(c.req.header(name)).trimmed().left(maxLen);
}

intake::Source sourceOf(const Ctx &c) {
    return intake::Source{c.who.id, headerText(c, "x-corvane-host"), headerText(c, "x-corvane-account"),
                          headerText(c, "x-corvane-tooling", 64), TeamServer::now()};
}

void capReport(const Ctx &c) {
    if (c.raw.size() > kReportCap) TeamServer::refuse(413, QStringLiteral("Слишком большой отчёт"));
}

Reply ok() { return TeamServer::json(QJsonObject{{"ok", true}}); }

} // namespace

void TeamServer::throttleIntake(const Ctx &c) {
    // Counted on the I/O thread that first sees the request; a request moved to a worker runs
    // again from the start there and is not counted twice.
    if (currentLane() == Lane::Io && !m_throttle.take(c.who.credential, now()))
        throw Refusal{429, QStringLiteral("Слишком много отчётов, повтори позже"), {{"Retry-After", "1"}}};
}

Reply TeamServer::intakeMetrics(Ctx &c) { return intakeOtlp(c, true); }

Reply TeamServer::intakeLogs(Ctx &c) { return intakeOtlp(c, false); }

Reply TeamServer::intakeOtlp(Ctx &c, bool metrics) {
    throttleIntake(c);
    // Metrics always add up to something and are written; a log batch only tells who works in
    // which session, which is mostly what the last one told (recent.h).
    if (metrics) offload();
    const otlp::Batch batch = metrics ? otlp::decodeMetrics(c.body) : otlp::decodeLogs(c.body);
    if (!batch.error.isEmpty()) return fail(400, QStringLiteral("Неверный OTLP: ") + batch.error);
    const intake::Source src = sourceOf(c);
    const QList<intake::Said> said = metrics ? QList<intake::Said>() : intake::logsSay(src, batch);
    const bool repeat = !said.isEmpty() && std::all_of(said.begin(), said.end(), [&](const intake::Said &s) {
        return m_recent.repeats(s.slot, s.what, src.now);
    });
    if (!repeat) {
        // An exporter that timed out waiting for our answer sends the same batch again; its
        // fingerprint makes the copy count for nothing.
        QCryptographicHash h(QCryptographicHash::Sha256);
        h.addData(c.who.id.toUtf8() + '\n' + c.req.path.toUtf8() + '\n');
        h.addData(c.raw);
        m_intake.run([&](Tx &tx) {
            if (intake::firstSight(m_db, h.result(), src.now))
                metrics ? intake::metrics(m_db, tx, src, batch) : intake::logs(m_db, tx, src, batch);
        });
        for (const intake::Said &s : said) m_recent.wrote(s.slot, s.what, src.now);
    }
    QJsonObject answer;
    if (batch.rejected > 0)
        answer["partialSuccess"] = QJsonObject{
            {metrics ? "rejectedDataPoints" : "rejectedLogRecords", QString::number(batch.rejected)},
            {"errorMessage", metrics ? "data points without a numeric value" : "log records without an event name"}};
    return json(answer);
}

Reply TeamServer::intakeStatusLine(Ctx &c) {
    throttleIntake(c);
    capReport(c);
    const intake::Source src = sourceOf(c);
    const intake::Said said = intake::statusLineSays(src, c.body);
    if (!m_recent.repeats(said.slot, said.what, src.now)) {
        m_intake.run([&](Tx &tx) { intake::statusLine(m_db, tx, src, c.body); });
        m_recent.wrote(said.slot, said.what, src.now);
    }
    Reply r;
    r.body = intake::statusLineText(c.body).toUtf8();
    r.contentType = "text/plain; charset=utf-8";
    return r;
}

Reply TeamServer::intakeHook(Ctx &c) {
    throttleIntake(c);
    capReport(c);
    m_intake.run([&](Tx &tx) { intake::hook(m_db, tx, sourceOf(c), c.body); });
    return ok();
}

Reply TeamServer::intakeHeartbeat(Ctx &c) {
    throttleIntake(c);
    capReport(c);
    m_intake.run([&](Tx &tx) { intake::heartbeat(m_db, tx, sourceOf(c), c.body); });
    return ok();
}

Reply TeamServer::intakeCodex(Ctx &c) {
    throttleIntake(c);
    capReport(c);
    m_intake.run([&](Tx &tx) { intake::codex(m_db, tx, sourceOf(c), c.body); });
    return ok();
}

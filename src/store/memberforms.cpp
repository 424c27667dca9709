#include "store/memberforms.h"

#include "core/clock.h"
#include "core/format.h"
#include "core/json.h"

#include <QFontDatabase>
#include <QLocale>
#include <QQmlEngine>
#include <cmath>

namespace {

QVariantMap option(const char *key, const QString &label)
{
    return {{QStringLiteral("key"), QString::fromLatin1(key)}, {QStringLiteral("label"), label}};
}

QLocale russian() { return QLocale(QLocale::Russian, QLocale::Russia); }

// An epoch time as a date and time in the local zone; invalid when it is no usable time.
QDateTime localTime(double t)
{
    if (!std::isfinite(t) || std::fabs(t) > 1e13)
        return {};
    return QDateTime::fromMSecsSinceEpoch(qint64(t * 1000), Clock::zone());
}

} // namespace

// ---- Forms

Forms::Forms(QObject *parent) : QObject(parent) {}

Forms *Forms::create(QQmlEngine *engine, QJSEngine *)
{
    return new Forms(engine);
}

QStringList Forms::specPresets()
{
    return {QStringLiteral("Разработчик"),       QStringLiteral("Fullstack-разработчик"),
            QStringLiteral("Frontend-разработчик"), QStringLiteral("Backend-разработчик"),
            QStringLiteral("Мобильный разработчик"), QStringLiteral("Дизайнер"),
            QStringLiteral("UX/UI-дизайнер"),    QStringLiteral("QA-инженер"),
            QStringLiteral("DevOps"),            QStringLiteral("Project Manager"),
            QStringLiteral("Product Manager"),   QStringLiteral("Аналитик"),
            QStringLiteral("Маркетолог"),        QStringLiteral("Копирайтер"),
            QStringLiteral("Тимлид")};
}

QVariantList Forms::roleOptions()
{
    return {option("viewer", QStringLiteral("Сотрудник")), option("admin", QStringLiteral("Админ"))};
}

QVariantList Forms::typeOptions()
{
    return {option("member", QStringLiteral("Член команды")), option("contractor", QStringLiteral("Внешний подрядчик"))};
}

QString Forms::monoFamily() { return QFontDatabase::systemFont(QFontDatabase::FixedFont).family(); }

QString Forms::monthTitle(int year, int month)
{
    if (month < 1 || month > 12)
        return QString();
    return russian().standaloneMonthName(month, QLocale::LongFormat) + u' ' + QString::number(year);
}

CalendarDay Forms::shiftMonth(int year, int month, int delta)
{
    const int index = year * 12 + (month - 1) + delta;
    const int y = index >= 0 ? index / 12 : (index - 11) / 12;
    return {y, index - y * 12 + 1, 1};
}

CalendarDay Forms::addDays(int year, int month, int day, int delta)
{
    QDate d(year, month, day);
    if (d.isValid())
        d = d.addDays(delta);
    return {d.year(), d.month(), d.day()};
}

QString Forms::dayText(int year, int month, int day)
{
    const QDate d(year, month, day);
    return d.isValid() ? russian().toString(d, QStringLiteral("d MMMM yyyy")) : QString();
}

// ---- NewMemberDraft

NewMemberDraft::NewMemberDraft(QObject *parent)
    : QObject(parent)
    , m_store(Store::instance())
{
    // The form's flag going down closes this opening, whoever lowered it.
    if (m_store)
        connect(m_store->roster(), &RosterState::formOpenChanged, this, [this] {
            if (m_store && !m_store->roster()->formOpen())
                close();
        });
}

QVariantMap NewMemberDraft::profile() const
{
    return {{QStringLiteral("specialization"), m_spec},
            {QStringLiteral("department"), m_dept},
            {QStringLiteral("member_type"), m_type}};
}

void NewMemberDraft::setSaving(bool v)
{
    m_saving = v;
    Q_EMIT savingChanged();
    Q_EMIT changed();
}

void NewMemberDraft::submit()
{
    if (!canCreate() || !m_store || m_closed)
        return;
    setSaving(true);
    QPointer<NewMemberDraft> self(this);
    m_store->createMember(m_name, m_login, m_role, profile(), [self](bool ok) {
        if (!self)
            return;
        self->setSaving(false);
        if (ok && !self->m_closed && self->m_store) {
            self->m_closed = true;
            // The credential sheet follows: the create has set the one-time credential.
            self->m_store->roster()->setFormOpen(false);
        }
    });
}

void NewMemberDraft::close()
{
    m_closed = true;
}

// ---- MemberEditDraft

MemberEditDraft::MemberEditDraft(QObject *parent)
    : QObject(parent)
    , m_store(Store::instance())
{
}

void MemberEditDraft::setMember(const QVariant &member)
{
    setMember(member.canConvert<Member>() ? member.value<Member>() : Member());
}

void MemberEditDraft::setMember(const Member &m)
{
    m_member = m;
    m_name = m.name;
    m_role = m.role == QLatin1String("admin") ? QStringLiteral("admin") : QStringLiteral("viewer");
    m_active = m.active;
    m_spec = m.specialization;
    m_dept = m.department;
    m_type = m.memberType;
    m_email = m.email;
    m_telegram = m.telegram;
    m_timezone = m.timezone;
    m_note = m.note;
    const QDateTime joined = m.joinedAt > 0 ? localTime(m.joinedAt) : QDateTime();
    m_joined = joined.isValid() ? joined : localTime(Clock::now());
    m_joinedTouched = false;
    Q_EMIT memberChanged();
    Q_EMIT changed();
    Q_EMIT joinedChanged();
}

QString MemberEditDraft::title() const { return m_member.name.isEmpty() ? m_member.memberId : m_member.name; }

QString MemberEditDraft::presence() const
{
    return m_member.online ? QStringLiteral("● онлайн") : fmt::relSeen(m_member.lastSeen);
}

QVariantList MemberEditDraft::tiles() const
{
    auto tile = [](const QString &title, const QString &value) {
        return QVariantMap{{QStringLiteral("title"), title}, {QStringLiteral("value"), value}};
    };
    const Member &m = m_member;
    return {tile(QStringLiteral("Аккаунтов"), QString::number(m.nAccounts)),
            tile(QStringLiteral("Токен"), m.hasToken ? QStringLiteral("есть") : QStringLiteral("нет")),
            tile(QStringLiteral("Статус"), m.active ? QStringLiteral("активен") : QStringLiteral("отключён")),
            tile(QStringLiteral("Активность"), m.online ? QStringLiteral("онлайн") : fmt::relSeen(m.lastSeen))};
}

QString MemberEditDraft::joinedText() const
{
    const QDate d = m_joined.date();
    return Forms::dayText(d.year(), d.month(), d.day());
}

void MemberEditDraft::pickJoinedDay(int year, int month, int day)
{
    const QDate d(year, month, day);
    if (!d.isValid())
        return;
    setJoined(QDateTime(d, m_joined.time(), Clock::zone()));
}

void MemberEditDraft::setJoined(const QDateTime &when)
{
    if (!when.isValid())
        return;
    m_joined = when;
    m_joinedTouched = true;
    Q_EMIT joinedChanged();
}

QVariantMap MemberEditDraft::body() const
{
    // A date the user did not touch goes back as it came, "no date" (0) included; a picked one
    // as whole seconds.
    const qint64 joinedAt = m_joinedTouched ? m_joined.toSecsSinceEpoch() : json::toInt(m_member.joinedAt);
    return {{QStringLiteral("name"), m_name},
            {QStringLiteral("role"), m_role},
            {QStringLiteral("active"), m_active},
            {QStringLiteral("specialization"), m_spec},
            {QStringLiteral("department"), m_dept},
            {QStringLiteral("member_type"), m_type},
            {QStringLiteral("email"), m_email},
            {QStringLiteral("telegram"), m_telegram},
            {QStringLiteral("timezone"), m_timezone},
            {QStringLiteral("note"), m_note},
            {QStringLiteral("joined_at"), joinedAt}};
}

void MemberEditDraft::setSaving(bool v)
{
    m_saving = v;
    Q_EMIT savingChanged();
}

void MemberEditDraft::submit()
{
    if (m_saving || !m_store || m_closed || m_member.memberId.isEmpty())
        return;
    setSaving(true);
    QPointer<MemberEditDraft> self(this);
    m_store->updateMember(m_member.memberId, body(), [self](bool ok) {
        if (!self)
            return;
        self->setSaving(false);
        if (ok && !self->m_closed) {
            self->m_closed = true;
            Q_EMIT self->finished();
        }
    });
}

void MemberEditDraft::close() { m_closed = true; }

void MemberEditDraft::resetPassword()
{
    if (m_store && !m_member.memberId.isEmpty())
        m_store->memberAction(QStringLiteral("reset_password"), m_member.memberId, {});
}

void MemberEditDraft::pickAvatar()
{
    if (m_store && !m_member.memberId.isEmpty())
        m_store->pickMemberAvatar(m_member.memberId);
}

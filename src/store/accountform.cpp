#include "store/accountform.h"

#include "core/acpanel.h"
#include "core/providers.h"
#include "store/store.h"

#include <QLocale>
#include <QVariantMap>
#include <cmath>

namespace {

QVariantMap option(const QString &key, const QString &label)
{
    return {{QStringLiteral("key"), key}, {QStringLiteral("label"), label}};
}

} // namespace

AccountFormState::AccountFormState(QObject *parent)
    : QObject(parent)
{
    prefill(std::nullopt);
    followStore();
}

Store *AccountFormState::store() const
{
    return m_store.get();
}

void AccountFormState::setStore(Store *s)
{
    if (!m_store.set(s))
        return;
    followStore();
    Q_EMIT storeChanged();
}

void AccountFormState::followStore()
{
    for (const auto &c : std::as_const(m_conns))
        disconnect(c);
    m_conns.clear();
    if (Store *s = store()) {
        m_conns << connect(s, &Store::membersChanged, this, &AccountFormState::ownerOptionsChanged);
        // Once the form is closed (by any means), a save still in flight closes nothing: the
        // next form opened is another one.
        m_conns << connect(s->resources(), &ResourcesState::formOpenChanged, this, [this] {
            Store *st = store();
            if (m_open && st && !st->resources()->formOpen()) {
                m_open = false;
                ++m_session;
            }
        });
    }
    Q_EMIT ownerOptionsChanged();
}

void AccountFormState::assign(QString &field, const QString &v)
{
    if (field == v)
        return;
    const bool owner = &field == &m_owner;
    field = v;
    Q_EMIT changed();
    if (owner)
        Q_EMIT ownerOptionsChanged();
}

QString AccountFormState::title() const
{
    return m_editing ? QStringLiteral("Редактировать аккаунт") : QStringLiteral("Новый аккаунт");
}

QString AccountFormState::priceProblem() const
{
    if (m_price.trimmed().isEmpty())
        return QString();
    const std::optional<double> v = readPrice(m_price);
    if (!v)
        return QStringLiteral("Цена — число, например 19,99");
    if (*v < 0)
        return QStringLiteral("Цена не может быть отрицательной");
    return QString();
}

bool AccountFormState::canSave() const
{
    return !m_saving && !m_email.isEmpty() && priceValid();
}

QVariantList AccountFormState::ownerOptions() const
{
    QVariantList out;
    out.append(QVariantMap{{QStringLiteral("label"), QStringLiteral("— не задан —")}, {QStringLiteral("value"), QString()}});
    const Store *s = store();
    const QList<Member> members = s ? s->members() : QList<Member>();
    bool known = false;
    for (const Member &m : members)
        known = known || m.memberId == m_initialOwner;
    // The entry's own owner stays selectable even after another choice, so the pick can be undone.
    if (!m_initialOwner.isEmpty() && !known)
        out.append(QVariantMap{{QStringLiteral("label"), m_initialOwner}, {QStringLiteral("value"), m_initialOwner}});
    for (const Member &m : members)
        out.append(QVariantMap{{QStringLiteral("label"), m.name + QStringLiteral(" · ") + m.memberId},
                               {QStringLiteral("value"), m.memberId}});
    return out;
}

int AccountFormState::ownerIndex() const
{
    const QVariantList opts = ownerOptions();
    for (int i = 0; i < opts.size(); ++i)
        if (opts[i].toMap().value(QStringLiteral("value")).toString() == m_owner)
            return i;
    return 0;
}

QVariantList AccountFormState::providers()
{
    QVariantList out;
    for (const QString &key : acpanel::provOrder())
        out.append(option(key, providerMeta(key).label));
    return out;
}

int AccountFormState::providerIndex() const
{
    return int(acpanel::provOrder().indexOf(m_provider));
}

QVariantList AccountFormState::statuses()
{
    return {option(QStringLiteral("active"), QStringLiteral("Active")), option(QStringLiteral("hold"), QStringLiteral("Hold"))};
}

QVariantList AccountFormState::authTypes()
{
    return {option(QStringLiteral("oauth"), QStringLiteral("OAuth")), option(QStringLiteral("api_key"), QStringLiteral("API-ключ"))};
}

QString AccountFormState::priceText(double price)
{
    if (!(price > 0) || !std::isfinite(price))
        return QString();
    // Fixed notation with the fewest digits that read back as the same double: 20, 19.99,
    // 1234567. Beyond 10^15 exponent notation is shorter and reads back just as exactly.
    if (price >= 1e15)
        return QString::number(price, 'g', QLocale::FloatingPointShortest);
    return QString::number(price, 'f', QLocale::FloatingPointShortest);
}

std::optional<double> AccountFormState::readPrice(const QString &text)
{
    QString t = text.trimmed();
    // A decimal comma, as people type it here, is a decimal point.
    if (!t.contains(u'.') && t.count(u',') == 1)
        t.replace(u',', u'.');
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

void AccountFormState::prefill(const std::optional<TeamAcct> &edit)
{
    const TeamAcct a = edit.value_or(TeamAcct());
    m_editing = edit.has_value();
    m_email = edit ? a.email : QString();
    m_provider = edit ? providerKey(a.provider) : QStringLiteral("claude");
    m_group = edit ? a.group : QString();
    // The owner field holds a member id; the account's `owner` is a display name and would,
    // saved back unchanged, replace the id with the name.
    m_owner = !edit ? QString() : !a.memberId.isEmpty() ? a.memberId : a.owner;
    m_initialOwner = m_owner;
    m_plan = edit ? a.plan : QString();
    m_price = edit ? priceText(a.price) : QString();
    m_currency = edit && !a.currency.isEmpty() ? a.currency : QStringLiteral("USD");
    m_payMethod = edit ? a.payMethod : QString();
    m_renew = edit ? a.renewDate : QString();
    m_status = edit ? a.status : QStringLiteral("active");
    m_notes = edit ? a.notes : QString();
    m_authType = edit && !a.authType.isEmpty() ? a.authType : QStringLiteral("oauth");
    m_ccProvider = edit ? a.ccProvider : QString();
    m_baseUrl = edit ? a.baseUrl : QString();
    m_model = edit ? a.model : QString();
    m_apiKey.clear();
    m_saving = false;
    Q_EMIT changed();
    Q_EMIT ownerOptionsChanged();
}

void AccountFormState::open()
{
    Store *s = store();
    std::optional<TeamAcct> edit;
    if (s && s->resources()->formEdit().canConvert<TeamAcct>())
        edit = s->resources()->formEdit().value<TeamAcct>();
    prefill(edit);
    ++m_session;
    m_open = true;
    if (s && s->members().isEmpty())
        s->loadMembers();
}

QJsonObject AccountFormState::body() const
{
    QJsonObject b;
    b.insert(QStringLiteral("email"), m_email);
    b.insert(QStringLiteral("provider"), m_provider);
    b.insert(QStringLiteral("group_name"), m_group.trimmed());
    b.insert(QStringLiteral("owner"), m_owner.trimmed());
    b.insert(QStringLiteral("plan"), m_plan.trimmed());
    if (m_price.trimmed().isEmpty())
        b.insert(QStringLiteral("price"), QJsonValue::Null);
    else
        b.insert(QStringLiteral("price"), readPrice(m_price).value_or(0));
    b.insert(QStringLiteral("currency"), m_currency.trimmed());
    b.insert(QStringLiteral("pay_method"), m_payMethod.trimmed());
    b.insert(QStringLiteral("renew_date"), m_renew.trimmed());
    b.insert(QStringLiteral("status"), m_status);
    b.insert(QStringLiteral("notes"), m_notes);
    b.insert(QStringLiteral("auth_type"), m_authType);
    const bool key = showKeyFields();
    b.insert(QStringLiteral("cc_provider"), key ? m_ccProvider.trimmed() : QString());
    b.insert(QStringLiteral("base_url"), key ? m_baseUrl.trimmed() : QString());
    b.insert(QStringLiteral("model"), key ? m_model.trimmed() : QString());
    // A key typed and then hidden by switching to OAuth is never sent.
    if (key && !m_apiKey.isEmpty())
        b.insert(QStringLiteral("api_key"), m_apiKey);
    return b;
}

void AccountFormState::save()
{
    Store *s = store();
    if (!s || !canSave())
        return;
    m_saving = true;
    Q_EMIT changed();
    const quint64 session = m_session;
    QPointer<AccountFormState> self(this);
    s->saveAccount(body().toVariantMap(), [self, session](bool ok) {
        if (!self)
            return;
        self->m_saving = false;
        Q_EMIT self->changed();
        Store *st = self->store();
        if (ok && st && self->m_open && session == self->m_session)
            self->cancel();
        Q_EMIT self->saved(ok);
    });
}

void AccountFormState::cancel()
{
    Store *s = store();
    if (s)
        s->resources()->closeForm();
}

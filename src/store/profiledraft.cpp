#include "store/profiledraft.h"

#include "core/format.h"

ProfileDraft::ProfileDraft(QObject *parent)
    : QObject(parent)
{
    setStore(Store::instance());
}

void ProfileDraft::setStore(Store *store)
{
    for (const auto &c : std::as_const(m_links))
        disconnect(c);
    m_links.clear();
    m_store = store;
    if (store) {
        m_links << connect(store, &Store::nameChanged, this, [this] { follow(Name); });
        const std::pair<void (ProfileState::*)(), Field> follows[] = {
            {&ProfileState::specChanged, Spec},         {&ProfileState::deptChanged, Dept},
            {&ProfileState::emailChanged, Email},       {&ProfileState::telegramChanged, Telegram},
            {&ProfileState::timezoneChanged, Timezone}, {&ProfileState::noteChanged, Note},
        };
        for (const auto &[sig, field] : follows)
            m_links << connect(store->profile(), sig, this, [this, f = field] { follow(f); });
        for (auto sig : {&Store::loginChanged, &Store::roleChanged, &Store::serverUrlChanged})
            m_links << connect(store, sig, this, &ProfileDraft::headerChanged);
        for (auto sig : {&ProfileState::specChanged, &ProfileState::deptChanged})
            m_links << connect(store->profile(), sig, this, &ProfileDraft::headerChanged);
        m_links << connect(store->home(), &HomeState::telemetryOkChanged, this, &ProfileDraft::headerChanged);
    }
    m_touched.clear();
    for (int f = Name; f <= Note; ++f)
        m_fields[f] = storeValue(Field(f));
    Q_EMIT draftChanged();
    Q_EMIT headerChanged();
}

QString ProfileDraft::storeValue(Field f) const
{
    if (!m_store)
        return QString();
    switch (f) {
    case Name: return m_store->name();
    case Spec: return m_store->profile()->spec();
    case Dept: return m_store->profile()->dept();
    case Email: return m_store->profile()->email();
    case Telegram: return m_store->profile()->telegram();
    case Timezone: return m_store->profile()->timezone();
    case Note: return m_store->profile()->note();
    }
    return QString();
}

void ProfileDraft::follow(Field f)
{
    if (m_touched.contains(f))
        return;
    const QString v = storeValue(f);
    if (v == m_fields[f])
        return;
    m_fields[f] = v;
    Q_EMIT draftChanged();
}

void ProfileDraft::edit(Field f, const QString &v)
{
    if (v == m_fields[f])
        return;
    m_fields[f] = v;
    m_touched.insert(f);
    Q_EMIT draftChanged();
}

void ProfileDraft::setTab(const QString &tab)
{
    if (tab == m_tab)
        return;
    m_tab = tab;
    Q_EMIT tabChanged();
}

QVariantList ProfileDraft::tabs()
{
    return {QVariantMap{{QStringLiteral("key"), QStringLiteral("profile")}, {QStringLiteral("label"), QStringLiteral("Профиль")}},
            QVariantMap{{QStringLiteral("key"), QStringLiteral("security")}, {QStringLiteral("label"), QStringLiteral("Безопасность")}},
            QVariantMap{{QStringLiteral("key"), QStringLiteral("notifications")}, {QStringLiteral("label"), QStringLiteral("Уведомления")}}};
}

QString ProfileDraft::cardTitle() const
{
    if (m_tab == QLatin1String("notifications"))
        return QStringLiteral("Уведомления и запуск");
    return m_tab == QLatin1String("security") ? QStringLiteral("Смена пароля") : QStringLiteral("Данные");
}

QVariantMap ProfileDraft::body() const
{
    return {{QStringLiteral("name"), m_fields[Name]},         {QStringLiteral("specialization"), m_fields[Spec]},
            {QStringLiteral("department"), m_fields[Dept]},   {QStringLiteral("email"), m_fields[Email]},
            {QStringLiteral("telegram"), m_fields[Telegram]}, {QStringLiteral("timezone"), m_fields[Timezone]},
            {QStringLiteral("note"), m_fields[Note]}};
}

void ProfileDraft::setCurPass(const QString &v)
{
    m_curPass = v;
    Q_EMIT passChanged();
}

void ProfileDraft::setNewPass(const QString &v)
{
    m_newPass = v;
    Q_EMIT passChanged();
}

void ProfileDraft::setNewPass2(const QString &v)
{
    m_newPass2 = v;
    Q_EMIT passChanged();
}

QString ProfileDraft::loginText() const { return QStringLiteral("логин: ") + (m_store ? m_store->login() : QString()); }

bool ProfileDraft::roleAdmin() const { return m_store && m_store->isAdmin(); }

QString ProfileDraft::roleText() const
{
    return roleAdmin() ? QStringLiteral("администратор") : QStringLiteral("сотрудник");
}

QString ProfileDraft::specText() const { return m_store ? m_store->profile()->spec() : QString(); }

QString ProfileDraft::deptText() const
{
    return m_store && !m_store->profile()->dept().isEmpty() ? QStringLiteral("· ") + m_store->profile()->dept() : QString();
}

bool ProfileDraft::telemetryOk() const { return m_store && m_store->home()->telemetryOk(); }

QString ProfileDraft::telemetryText() const
{
    return telemetryOk() ? QStringLiteral("телеметрия работает") : QStringLiteral("телеметрия не активна");
}

QString ProfileDraft::serverText() const { return serverText(m_store ? m_store->serverUrl() : QString()); }

QString ProfileDraft::serverText(const QString &url)
{
    return QString(url).remove(QStringLiteral("https://"));
}

QString ProfileDraft::versionText() { return u'v' + fmt::appVersion(); }

void ProfileDraft::shown()
{
    setTab(QStringLiteral("profile"));
    m_curPass.clear();
    m_newPass.clear();
    m_newPass2.clear();
    Q_EMIT passChanged();
    setStore(m_store);
    if (m_store)
        m_store->loadMe();
}

void ProfileDraft::save()
{
    if (m_saving || !m_store)
        return;
    m_saving = true;
    Q_EMIT savingChanged();
    QPointer<ProfileDraft> self(this);
    m_store->updateMe(body(), [self](bool ok) {
        if (!self)
            return;
        self->m_saving = false;
        Q_EMIT self->savingChanged();
        // Saved: the fields follow Store again and take the profile as the server now has it.
        if (ok)
            self->m_touched.clear();
    });
}

void ProfileDraft::changePassword()
{
    if (!canChangePassword() || !m_store)
        return;
    m_changingPass = true;
    Q_EMIT passChanged();
    QPointer<ProfileDraft> self(this);
    m_store->changeMyPassword(m_curPass, m_newPass, m_newPass2, [self](bool ok) {
        if (!self)
            return;
        self->m_changingPass = false;
        if (ok) {
            self->m_curPass.clear();
            self->m_newPass.clear();
            self->m_newPass2.clear();
        }
        Q_EMIT self->passChanged();
    });
}

void ProfileDraft::pickAvatar()
{
    if (m_store)
        m_store->pickAvatar();
}

void ProfileDraft::logOut()
{
    if (m_store)
        m_store->logOut();
}

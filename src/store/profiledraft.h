#pragma once
// The profile screen's state. The profile tab edits a draft taken from Store when the screen
// is shown; a field follows Store (the answer of the profile load, a refresh pass that rewrites
// the name) until the user types into it, so typing is never overwritten, and "Сохранить
// профиль" sends the draft. The header reads Store as saved. The security tab holds the three
// password inputs, emptied only when the change went through.

#include "store/store.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class ProfileDraft : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString tab READ tab WRITE setTab NOTIFY tabChanged)
    Q_PROPERTY(QVariantList tabs READ tabs CONSTANT)
    Q_PROPERTY(QString cardTitle READ cardTitle NOTIFY tabChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY draftChanged)
    Q_PROPERTY(QString spec READ spec WRITE setSpec NOTIFY draftChanged)
    Q_PROPERTY(QString dept READ dept WRITE setDept NOTIFY draftChanged)
    Q_PROPERTY(QString email READ email WRITE setEmail NOTIFY draftChanged)
    Q_PROPERTY(QString telegram READ telegram WRITE setTelegram NOTIFY draftChanged)
    Q_PROPERTY(QString timezone READ timezone WRITE setTimezone NOTIFY draftChanged)
    Q_PROPERTY(QString note READ note WRITE setNote NOTIFY draftChanged)
    Q_PROPERTY(bool saving READ saving NOTIFY savingChanged)
    Q_PROPERTY(QString curPass READ curPass WRITE setCurPass NOTIFY passChanged)
    Q_PROPERTY(QString newPass READ newPass WRITE setNewPass NOTIFY passChanged)
    Q_PROPERTY(QString newPass2 READ newPass2 WRITE setNewPass2 NOTIFY passChanged)
    Q_PROPERTY(bool changingPass READ changingPass NOTIFY passChanged)
    Q_PROPERTY(bool canChangePassword READ canChangePassword NOTIFY passChanged)
    // The header card, from Store.
    Q_PROPERTY(QString loginText READ loginText NOTIFY headerChanged)
    Q_PROPERTY(bool roleAdmin READ roleAdmin NOTIFY headerChanged)
    Q_PROPERTY(QString roleText READ roleText NOTIFY headerChanged)
    Q_PROPERTY(QString specText READ specText NOTIFY headerChanged)
    Q_PROPERTY(QString deptText READ deptText NOTIFY headerChanged)
    Q_PROPERTY(bool telemetryOk READ telemetryOk NOTIFY headerChanged)
    Q_PROPERTY(QString telemetryText READ telemetryText NOTIFY headerChanged)
    Q_PROPERTY(QString serverText READ serverText NOTIFY headerChanged)
    Q_PROPERTY(QString versionText READ versionText CONSTANT)

public:
    enum Field { Name, Spec, Dept, Email, Telegram, Timezone, Note };

    explicit ProfileDraft(QObject *parent = nullptr);
    void setStore(Store *store);

    const QString &tab() const { return m_tab; }
    void setTab(const QString &tab);
    static QVariantList tabs();
    QString cardTitle() const;

    QString name() const { return m_fields[Name]; }
    QString spec() const { return m_fields[Spec]; }
    QString dept() const { return m_fields[Dept]; }
    QString email() const { return m_fields[Email]; }
    QString telegram() const { return m_fields[Telegram]; }
    QString timezone() const { return m_fields[Timezone]; }
    QString note() const { return m_fields[Note]; }
    // The user's typing: the field stops following Store.
    void setName(const QString &v) { edit(Name, v); }
    void setSpec(const QString &v) { edit(Spec, v); }
    void setDept(const QString &v) { edit(Dept, v); }
    void setEmail(const QString &v) { edit(Email, v); }
    void setTelegram(const QString &v) { edit(Telegram, v); }
    void setTimezone(const QString &v) { edit(Timezone, v); }
    void setNote(const QString &v) { edit(Note, v); }
    bool touched(Field f) const { return m_touched.contains(f); }

    bool saving() const { return m_saving; }
    // What "Сохранить профиль" sends: exactly these seven keys.
    QVariantMap body() const;

    const QString &curPass() const { return m_curPass; }
    const QString &newPass() const { return m_newPass; }
    const QString &newPass2() const { return m_newPass2; }
    void setCurPass(const QString &v);
    void setNewPass(const QString &v);
    void setNewPass2(const QString &v);
    bool changingPass() const { return m_changingPass; }
    bool canChangePassword() const { return !m_changingPass && !m_curPass.isEmpty() && !m_newPass.isEmpty(); }

    QString loginText() const;
    bool roleAdmin() const;
    QString roleText() const;
    QString specText() const;
    QString deptText() const;
    bool telemetryOk() const;
    QString telemetryText() const;
    // The server's address without "https://".
    QString serverText() const;
    static QString serverText(const QString &url);
    static QString versionText();

    // The screen appeared: first tab, empty password inputs, the draft taken from Store, and a
    // reload of the profile.
    Q_INVOKABLE void shown();
    Q_INVOKABLE void save();
    Q_INVOKABLE void changePassword();
    Q_INVOKABLE void pickAvatar();
    Q_INVOKABLE void logOut();

Q_SIGNALS:
    void tabChanged();
    void draftChanged();
    void savingChanged();
    void passChanged();
    void headerChanged();

private:
    void edit(Field f, const QString &v);
    void follow(Field f);
    QString storeValue(Field f) const;

    QPointer<Store> m_store;
    QList<QMetaObject::Connection> m_links;
    QString m_tab = QStringLiteral("profile");
    QString m_fields[Note + 1];
    QSet<Field> m_touched;
    bool m_saving = false;
    QString m_curPass, m_newPass, m_newPass2;
    bool m_changingPass = false;
};

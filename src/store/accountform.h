#pragma once
// The state behind the account form: the registry fields of a new or edited entry, the choice
// lists, what may be saved, and the body the save sends. The sheet only lays these out.

#include "store/storeref.h"
#include "core/teamacct.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <optional>

class Store;

#define AF_TEXT(name, Name)                                                    \
    Q_PROPERTY(QString name READ name WRITE set##Name NOTIFY changed)          \
public:                                                                        \
    const QString &name() const { return m_##name; }                           \
    void set##Name(const QString &v) { assign(m_##name, v); }                  \
private:                                                                       \
    QString m_##name;

class AccountFormState : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Store *store READ store WRITE setStore NOTIFY storeChanged)
    AF_TEXT(email, Email)
    AF_TEXT(provider, Provider)
    AF_TEXT(group, Group)
    AF_TEXT(owner, Owner)
    AF_TEXT(plan, Plan)
    AF_TEXT(price, Price)
    AF_TEXT(currency, Currency)
    AF_TEXT(payMethod, PayMethod)
    AF_TEXT(renew, Renew)
    AF_TEXT(status, Status)
    AF_TEXT(notes, Notes)
    AF_TEXT(authType, AuthType)
    AF_TEXT(ccProvider, CcProvider)
    AF_TEXT(baseUrl, BaseUrl)
    AF_TEXT(model, Model)
    AF_TEXT(apiKey, ApiKey)
    Q_PROPERTY(bool saving READ saving NOTIFY changed)
    Q_PROPERTY(bool editing READ editing NOTIFY changed)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(bool priceValid READ priceValid NOTIFY changed)
    // Why the price cannot be saved, under its field; empty while it can.
    Q_PROPERTY(QString priceProblem READ priceProblem NOTIFY changed)
    Q_PROPERTY(bool canSave READ canSave NOTIFY changed)
    Q_PROPERTY(bool showKeyFields READ showKeyFields NOTIFY changed)
    // [{label, value}]: "— не задан —", the entry's own owner when the roster does not know it,
    // then every member as "name · id".
    Q_PROPERTY(QVariantList ownerOptions READ ownerOptions NOTIFY ownerOptionsChanged)
    Q_PROPERTY(int ownerIndex READ ownerIndex NOTIFY ownerOptionsChanged)
    Q_PROPERTY(QVariantList providers READ providers CONSTANT)
    Q_PROPERTY(int providerIndex READ providerIndex NOTIFY changed)
    Q_PROPERTY(QVariantList statuses READ statuses CONSTANT)
    Q_PROPERTY(QVariantList authTypes READ authTypes CONSTANT)

public:
    explicit AccountFormState(QObject *parent = nullptr);

    Store *store() const;
    void setStore(Store *s);

    bool saving() const { return m_saving; }
    bool editing() const { return m_editing; }
    QString title() const;
    bool priceValid() const { return priceProblem().isEmpty(); }
    QString priceProblem() const;
    bool canSave() const;
    bool showKeyFields() const { return m_authType == QLatin1String("api_key"); }
    QVariantList ownerOptions() const;
    int ownerIndex() const;
    static QVariantList providers();
    int providerIndex() const;
    static QVariantList statuses();
    static QVariantList authTypes();

    // Fills the fields for a new entry (no account) or from the account being edited.
    void prefill(const std::optional<TeamAcct> &edit);
    // The sheet was shown: prefill from `Store.resources.formEdit` and load the roster when it is
    // still empty (the owner list needs it).
    Q_INVOKABLE void open();
    // The registry body of the fields as they are now.
    QJsonObject body() const;
    // Sends the body; the answer closes this form if it is still the open one.
    Q_INVOKABLE void save();
    // "xmark", "Отмена" or Escape: closes the form without saving.
    Q_INVOKABLE void cancel();

    // The price as the field shows it: the shortest text that reads back as the same number, or
    // empty for no price.
    static QString priceText(double price);
    // The price field read as a number ("19,99" reads as 19.99); nothing when it is no number.
    static std::optional<double> readPrice(const QString &text);

Q_SIGNALS:
    void storeChanged();
    void changed();
    void ownerOptionsChanged();
    // A save came back (true: saved).
    void saved(bool ok);

private:
    void assign(QString &field, const QString &v);
    void followStore();

    StoreRef m_store;
    QList<QMetaObject::Connection> m_conns;
    bool m_saving = false;
    bool m_editing = false;
    QString m_initialOwner;   // the owner the entry had when the form opened
    quint64 m_session = 0;    // one per opening; an answer for an earlier one closes nothing
    bool m_open = false;
};

#undef AF_TEXT

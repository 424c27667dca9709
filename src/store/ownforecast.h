#pragma once
// The run-out line under a gauge of one of the member's own accounts (the tray panel and the
// own-account cards): Forecasts' line for the account's window, worked out again on every tick and
// every new reading, announced only when its text or colour changed.

#include "core/records.h"

#include <QObject>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

class OwnForecast : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The account (an Acct) and which of its windows.
    Q_PROPERTY(QVariant acct READ acct WRITE setAcct NOTIFY acctChanged)
    Q_PROPERTY(Window window READ window WRITE setWindow NOTIFY windowChanged)
    // "закончится через 2ч 5м · темп 12%/ч", or "" for no line; its colour role.
    Q_PROPERTY(QString text READ text NOTIFY lineChanged)
    Q_PROPERTY(QString tone READ tone NOTIFY lineChanged)

public:
    enum class Window { Five, Seven };
    Q_ENUM(Window)

    explicit OwnForecast(QObject *parent = nullptr);

    QVariant acct() const { return QVariant::fromValue(m_acct); }
    void setAcct(const QVariant &v);
    Window window() const { return m_window; }
    void setWindow(Window w);
    QString text() const { return m_text; }
    QString tone() const { return m_tone; }

Q_SIGNALS:
    void acctChanged();
    void windowChanged();
    void lineChanged();

private:
    void refresh();

    Acct m_acct;
    Window m_window = Window::Five;
    QString m_text;
    QString m_tone = QStringLiteral("textTertiary");
};

#pragma once
// One running client per user: the first instance listens on a local socket named after the
// application identifier and the user; a later one connects, asks the first to raise its main
// window, and ends.

#include <QObject>

class QLocalServer;

class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &name = defaultName(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // CORVANE_APP_ID + "-" + the user's name (or numeric id), safe as a socket name.
    static QString defaultName();

    // True when another instance answered and was asked to raise itself: this process should
    // end. False when this process is now the first instance (or listening failed; then the
    // client runs alone without the guard).
    bool notifyRunning(int timeoutMs = 1000);
    bool listen();
    bool listening() const;
    QString name() const { return m_name; }

Q_SIGNALS:
    // Another start asked this instance to show itself.
    void raiseRequested();

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
};

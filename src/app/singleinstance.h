#pragma once
// One running client per user: the first instance listens on a local socket in the user's
// private runtime folder; a later one connects, asks the first to raise its main window, and
// ends.
//
// The socket lives in $XDG_RUNTIME_DIR, which only its owner can enter, so no other user can
// create the name first (and take every later start's requests) or connect to it. When that
// folder is missing or not private (another owner, group or other bits set), a folder of our
// own in the temporary directory is used instead, made owner-only and checked to be ours; when
// not even that is safe, there is no guard and the client simply runs.

#include <QObject>

class QLocalServer;

class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &path = defaultPath(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // The full path of the socket: a private runtime folder + "/" + CORVANE_APP_ID + ".sock";
    // empty when no private folder is available.
    static QString defaultPath();
    // The folder defaultPath() uses, or empty. Creates the fallback folder when needed.
    static QString privateRuntimeDir();
    // True when `dir` is a real folder (not a symlink) owned by this user with no access for
    // group or others.
    static bool isPrivateDir(const QString &dir);

    // True when another instance answered and was asked to raise itself: this process should
    // end. False when this process is now the first instance (or there is no guard; then the
    // client runs alone).
    bool notifyRunning(int timeoutMs = 1000);
    bool listen();
    bool listening() const;
    QString path() const { return m_path; }

Q_SIGNALS:
    // Another start asked this instance to show itself.
    void raiseRequested();

private:
    QString m_path;
    QLocalServer *m_server = nullptr;
};

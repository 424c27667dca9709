#pragma once

#include <QHash>
#include <QObject>
#include <QProcess>
#include <QString>

#include "outputdecoder.h"

// Runs the set-up script with `bash -lc` and streams its output.
//
// Standard output and standard error share one channel, so text arrives in the order the
// installer wrote it. Text is decoded as one UTF-8 stream (setup::OutputDecoder). The child
// inherits the client's environment, plus the variables given to start(), and its working
// directory; its standard input is the null device, so an install script that asks a question
// gets end of input instead of waiting forever for an answer nobody can give.
//
// Exit status reported by finished():
//   - normal exit: the script's exit status (0 = success);
//   - killed by a signal or crashed: 128 + the signal number, as a shell reports it (139 for
//     SIGSEGV, 137 for SIGKILL), or -1 when the signal is not known. Never 0.
// When the child has exited, only output that had already been read is still delivered; after
// finished() no more output() is emitted, even if a background process of the installer keeps
// writing to the pipe.
class InstallRunner : public QObject
{
    Q_OBJECT
public:
    explicit InstallRunner(QObject *parent = nullptr);
    ~InstallRunner() override;

    // Starts the script and returns at once, with `environment` set on top of the client's own
    // environment. Ignored while a run is in progress.
    void start(const QString &script, const QHash<QString, QString> &environment = {});
    bool running() const;
    // The shell to start; "/bin/bash" unless a test substitutes its own.
    void setBash(const QString &path);

signals:
    void output(const QString &text);   // decoded text, in arrival order, never empty
    void finished(int status);
    void failedToStart();               // queued: always after start() has returned

private:
    void readAvailable();
    void onFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onError(QProcess::ProcessError error);
    void emitText(const QString &text);

    QString m_bash = QStringLiteral("/bin/bash");
    QProcess *m_process = nullptr;
    setup::OutputDecoder m_decoder;
    bool m_running = false;
};

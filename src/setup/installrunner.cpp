#include "installrunner.h"

#include <QMetaObject>

InstallRunner::InstallRunner(QObject *parent) : QObject(parent) {}

InstallRunner::~InstallRunner()
{
    // The application is going away mid-install: QProcess's own destructor would kill the child
    // and complain; do it quietly and let no signal reach a half-destroyed owner.
    if (m_process) {
        m_process->disconnect(this);
        if (m_process->state() != QProcess::NotRunning) {
            m_process->kill();
            m_process->waitForFinished(1000);
        }
    }
}

void InstallRunner::setBash(const QString &path)
{
    m_bash = path;
}

bool InstallRunner::running() const
{
    return m_running;
}

void InstallRunner::start(const QString &script, const QHash<QString, QString> &environment)
{
    if (m_running)
        return;
    if (m_process) {
        m_process->deleteLater();
        m_process = nullptr;
    }
    m_decoder.reset();
    m_running = true;

    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardInputFile(QProcess::nullDevice());
    if (!environment.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (auto it = environment.cbegin(); it != environment.cend(); ++it)
            env.insert(it.key(), it.value());
        m_process->setProcessEnvironment(env);
    }
    connect(m_process, &QProcess::readyReadStandardOutput, this, &InstallRunner::readAvailable);
    connect(m_process, &QProcess::finished, this, &InstallRunner::onFinished);
    connect(m_process, &QProcess::errorOccurred, this, &InstallRunner::onError);
    m_process->start(m_bash, {QStringLiteral("-lc"), script});
}

void InstallRunner::emitText(const QString &text)
{
    if (!text.isEmpty())
        emit output(text);
}

void InstallRunner::readAvailable()
{
    if (!m_running || !m_process)
        return;
    const QByteArray bytes = m_process->readAll();
    if (bytes.isEmpty())
        return;
    emitText(m_decoder.feed(bytes));
}

void InstallRunner::onFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    if (!m_running || !m_process)
        return;
    QProcess *process = m_process;
    // Only what is already in our buffer still counts; nothing more is read from the pipe.
    disconnect(process, &QProcess::readyReadStandardOutput, this, &InstallRunner::readAvailable);
    const QString rest = m_decoder.feed(process->readAll());
    emitText(rest + m_decoder.finish());

    int status = exitCode;
    if (exitStatus != QProcess::NormalExit) {
        // On Unix QProcess reports the terminating signal as the exit code of a crash.
        status = exitCode > 0 && exitCode < 128 ? 128 + exitCode : -1;
    }
    m_running = false;
    process->closeReadChannel(QProcess::StandardOutput);
    emit finished(status);
}

void InstallRunner::onError(QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart || !m_running)
        return;
    m_running = false;
    // QProcess may report this from inside start(); the owner should see start() return first.
    QMetaObject::invokeMethod(this, [this] { emit failedToStart(); }, Qt::QueuedConnection);
}

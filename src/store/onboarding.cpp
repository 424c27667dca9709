// Machine set-up after sign-in: write the config file, run the server's install script and
// tick the four steps as its output names them.
#include "store/store.h"

#include "setup/installrunner.h"
#include "setup/setupscript.h"

#include <QDir>

void Store::startOnboarding()
{
    setPhase(Phase::Onboarding);
    setInstallLog(QString());
    setInstallDone(false);
    QList<SetupStep> steps = m_steps;
    for (SetupStep &s : steps)
        s.done = false;
    setSteps(steps);

    const QString home = m_deps.home.isEmpty() ? QDir::homePath() : m_deps.home;
    const setup::Script script = setup::buildScript(home, m_serverUrl, m_token);
    if (!script.error.isEmpty()) {
        setError(script.error);
        return;
    }
    runShell(script.text, script.environment);
}

void Store::runShell(const QString &script, const QHash<QString, QString> &environment)
{
    if (m_installer) {
        // A run still going belongs to an earlier set-up; its results must not land any more.
        m_installer->disconnect(this);
        m_installer->deleteLater();
    }
    m_installer = new InstallRunner(this);
    if (!m_deps.bash.isEmpty())
        m_installer->setBash(m_deps.bash);
    connect(m_installer, &InstallRunner::output, this, &Store::onInstallOutput);
    connect(m_installer, &InstallRunner::finished, this, &Store::onInstallFinished);
    connect(m_installer, &InstallRunner::failedToStart, this,
            [this] { setError(QStringLiteral("Не удалось запустить установку.")); });
    m_installer->start(script, environment);
}

void Store::onInstallOutput(const QString &chunk)
{
    if (chunk.isEmpty())
        return;
    setInstallLog(m_installLog + chunk);
    const QList<bool> hits = setup::matchSteps(m_installLog);
    QList<SetupStep> steps = m_steps;
    bool changed = false;
    for (qsizetype i = 0; i < steps.size() && i < hits.size(); ++i) {
        if (hits[i] && !steps[i].done) {
            steps[i].done = true;
            changed = true;
        }
    }
    if (changed)
        setSteps(steps);
}

void Store::onInstallFinished(int status)
{
    if (status != 0) {
        setError(QStringLiteral("Установка завершилась с ошибкой (код %1).").arg(status));
        return;
    }
    QList<SetupStep> steps = m_steps;
    for (SetupStep &s : steps)
        s.done = true;
    setSteps(steps);
    setInstallDone(true);
    QTimer::singleShot(m_deps.handoverMs, this, [this] {
        // Signing out during the pause leaves the sign-in screen where it is.
        if (m_phase != Phase::Onboarding || m_token.isEmpty())
            return;
        setPhase(Phase::Platform);
        startAutoRefresh();
    });
}

#include "machinesetup.h"

#include "referenceserver.h"
#include "setup/installrunner.h"
#include "setup/setupscript.h"

#include <QDir>
#include <QSignalSpy>

QString setUpMachine(ReferenceServer &server, const QString &login, const QString &home, QString *log)
{
    const auto member = server.login(login);
    QJsonObject signin;
    server.signIn(member.login, member.password, &signin);
    const QString token = signin[QStringLiteral("token")].toString();
    if (token.isEmpty() || !QDir().mkpath(home)) {
        *log = QStringLiteral("sign-in of %1 refused").arg(login);
        return {};
    }
    return runSetup(home, server.url(), token, log) == 0 ? token : QString();
}

int runSetup(const QString &home, const QString &url, const QString &token, QString *log,
             const std::function<void(const QString &)> &onOutput)
{
    const setup::Script script = setup::buildScript(home, url, token);
    if (!script.error.isEmpty())
        return -1000;
    InstallRunner runner;
    log->clear();
    QObject::connect(&runner, &InstallRunner::output, [&](const QString &text) {
        *log += text;
        if (onOutput)
            onOutput(*log);
    });
    QSignalSpy done(&runner, &InstallRunner::finished);
    runner.start(script.text, script.environment);
    return done.wait(60000) ? done.first().first().toInt() : -2000;
}

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
    const setup::Script script = setup::buildScript(home, server.url(), token);
    InstallRunner runner;
    QObject::connect(&runner, &InstallRunner::output, [log](const QString &text) { *log += text; });
    QSignalSpy done(&runner, &InstallRunner::finished);
    runner.start(script.text, script.environment);
    return done.wait(60000) && done.first().first().toInt() == 0 ? token : QString();
}

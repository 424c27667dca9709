#include "endpoint.h"

#include <QDir>
#include <QFileInfo>

namespace endpoint {

QString serverUrl()
{
    // A function-local static is initialised exactly once, thread-safely; afterwards it is only read.
    static const QString url = [] {
        if (qEnvironmentVariableIsSet("BRINDLE_SERVER_URL"))
            return qEnvironmentVariable("BRINDLE_SERVER_URL");
        return QStringLiteral(CORVANE_DEFAULT_SERVER);
    }();
    return url;
}

QString retiredUrl()
{
    return QStringLiteral("https://brindle.corvane.dev");
}

QString appId()
{
    return QStringLiteral(CORVANE_APP_ID);
}

QString configPath()
{
    return QDir::homePath() + QStringLiteral("/.brindle/config");
}

bool configExists()
{
    const QString path = configPath();
    // QFileInfo::exists follows symbolic links, so a dangling link needs its own check.
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

} // namespace endpoint

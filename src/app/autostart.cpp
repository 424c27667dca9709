#include "autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QQmlEngine>
#include <QSaveFile>
#include <QStandardPaths>

Autostart::Autostart(QObject *parent, const QString &program)
    : QObject(parent)
    , m_program(program)
{
}

Autostart *Autostart::create(QQmlEngine *engine, QJSEngine *)
{
    return new Autostart(engine);
}

QString Autostart::entryPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/com.corvane.team.desktop");
}

static QString execArgument(const QString &program)
{
    // An installed binary is started by name, so the entry survives a move of the prefix.
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("corvane-team"));
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == QFileInfo(program).canonicalFilePath())
        return QStringLiteral("corvane-team");
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (QChar c : program)
        quote = quote || reserved.contains(c);
    if (!quote)
        return program;
    QString q = program;
    q.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""))
        .replace(QLatin1Char('`'), QLatin1String("\\`"))
        .replace(QLatin1Char('$'), QLatin1String("\\$"));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QByteArray Autostart::entry(const QString &program)
{
    QString exec = execArgument(program);
    // The desktop-entry escape of a string value: a backslash is written twice.
    exec.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Corvane Team\n"
                          "Comment=Лимиты AI-аккаунтов команды\n"
                          "Exec=%1\n"
                          "Icon=com.corvane.team\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(exec)
        .toUtf8();
}

bool Autostart::enabled() const
{
    return QFileInfo::exists(entryPath());
}

void Autostart::setEnabled(bool on)
{
    if (on == enabled())
        return;
    const QString path = entryPath();
    bool ok = false;
    if (on) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile f(path);
        const QString program = m_program.isEmpty() ? QCoreApplication::applicationFilePath() : m_program;
        ok = f.open(QIODevice::WriteOnly) && f.write(entry(program)) >= 0 && f.commit();
    } else {
        ok = QFile::remove(path);
    }
    if (!ok)
        Q_EMIT failed();
    Q_EMIT enabledChanged();
}

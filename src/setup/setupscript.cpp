#include "setupscript.h"

#include <QUrl>

namespace setup {

const QStringList &stepLabels()
{
    static const QStringList labels = {
        QStringLiteral("Claude Code — статуслайн и меню лимитов"),
        QStringLiteral("Быстрые команды (opus/sonnet/glm/kimi/max)"),
        QStringLiteral("Телеметрия (OTEL + hooks)"),
        QStringLiteral("Агент присутствия"),
    };
    return labels;
}

QList<bool> matchSteps(const QString &log)
{
    // Words the install script prints while it works on each step.
    static const QList<QStringList> words = {
        {QStringLiteral("statusline"), QStringLiteral("статуслайн")},
        {QStringLiteral("quick-cmds"), QStringLiteral("алиас")},
        {QStringLiteral("telemetry"), QStringLiteral("otel"), QStringLiteral("hooks")},
        {QStringLiteral("launchagent"), QStringLiteral("agent")},
    };
    const QString lower = log.toLower();
    QList<bool> flags;
    flags.reserve(words.size());
    for (const QStringList &any : words) {
        bool hit = false;
        for (const QString &w : any)
            hit = hit || lower.contains(w);
        flags.append(hit);
    }
    return flags;
}

QString shellQuote(const QString &value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

namespace {

// The config file holds NAME="value" lines that the installed tools source as shell. Inside
// double quotes the shell still expands $ and backquotes and treats \ and " specially, and a
// line break would end the line, so such a value cannot be written "as it is" safely.
bool fitsConfigLine(const QString &value)
{
    for (const QChar c : value) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\') || c == QLatin1Char('$')
            || c == QLatin1Char('`') || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

} // namespace

Script buildScript(const QString &home, const QString &url, const QString &token)
{
    if (!fitsConfigLine(url) || !fitsConfigLine(token))
        return {QString(), {}, QStringLiteral("Адрес сервера или ключ содержат недопустимые символы — "
                                              "настройка остановлена.")};

    const QString dir = shellQuote(home + QStringLiteral("/.brindle"));
    const QString config = shellQuote(home + QStringLiteral("/.brindle/config"));
    const QString temp = shellQuote(home + QStringLiteral("/.brindle/config.XXXXXX"));
    // A server reached over https must not be able to send the download to plain http (or
    // anything else curl speaks) with a redirect.
    const bool https = QUrl(url).scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const QString redirects = https ? QStringLiteral(" --proto-redir =https") : QString();

    QStringList lines;
    lines << QStringLiteral("set -e")
          << QStringLiteral("mkdir -p %1").arg(dir)
          << QStringLiteral("umask 177")
          // mktemp makes the file 0600 whatever the umask; the rename replaces whatever sits at
          // the config's name (a file of any mode, a symlink) instead of opening it.
          << QStringLiteral("tmp=\"$(mktemp %1)\"").arg(temp)
          << QStringLiteral("installer=\"$(mktemp)\"")
          << QStringLiteral("trap 'rm -f \"$tmp\" \"$installer\"' EXIT")
          << QStringLiteral("printf 'BRINDLE_URL=\"%s\"\\nBRINDLE_TOKEN=\"%s\"\\n' \"$BRINDLE_URL\" \"$BRINDLE_TOKEN\" > \"$tmp\"")
          << QStringLiteral("mv -f -T \"$tmp\" %1").arg(config)
          << QStringLiteral("umask 022")
          << QStringLiteral("export BRINDLE_URL BRINDLE_TOKEN")
          // Download completely before running anything: under set -e a failed download (HTTP
          // error, no network, a time-out) ends the set-up with curl's status instead of running
          // an empty script that "succeeds", and a cut-off download never runs half a script.
          << QStringLiteral("curl -fsSL --connect-timeout 15 --max-time 300%1 \"$BRINDLE_URL/raw/install.sh\" "
                            "-o \"$installer\"").arg(redirects)
          << QStringLiteral("bash \"$installer\"");

    Script script;
    script.text = lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    script.environment = {{QStringLiteral("HOME"), home},
                          {QStringLiteral("BRINDLE_URL"), url},
                          {QStringLiteral("BRINDLE_TOKEN"), token}};
    return script;
}

} // namespace setup

#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Machine set-up after sign-in: the progress steps shown on the onboarding screen and the shell
// script that writes ~/.brindle/config and runs the team server's install script.
namespace setup {

// The four progress labels, in the order the onboarding screen shows them.
const QStringList &stepLabels();

// Which steps the installer's output so far mentions: four flags, in the order of stepLabels().
// The log is lower-cased first, so "TELEMETRY" or "Статуслайн" count too. The caller keeps flags
// that were once true (a step never un-ticks), so passing the whole accumulated log is enough.
QList<bool> matchSteps(const QString &log);

struct Script {
    QString text;   // the script for `/bin/bash -lc`; empty when error is set
    // Variables the child gets on top of the client's own environment: HOME, BRINDLE_URL and
    // BRINDLE_TOKEN. The values travel here and never in the script text, because a command
    // line can be read by every local user (/proc/<pid>/cmdline) while the child's environment
    // is visible to its owner only.
    QHash<QString, QString> environment;
    QString error;  // non-empty (Russian, for the user): the values were refused, do not run
};

// Builds the set-up script for the given home directory (no trailing slash), server URL and
// member token. The URL and the token end up between double quotes in a file that other tools
// source, so characters that would change its meaning there are refused instead of written.
//
// The config file is written to a fresh owner-only temporary file in ~/.brindle and renamed
// over ~/.brindle/config: an earlier file keeps no looser mode and a symlink planted in its
// place is replaced, never written through. The install script is downloaded completely
// (15 s to connect, 300 s in all; from an https server, redirects to https only) before it runs.
Script buildScript(const QString &home, const QString &url, const QString &token);

// Single-quotes a value for a POSIX shell word: every ' becomes '\'' .
QString shellQuote(const QString &value);

} // namespace setup

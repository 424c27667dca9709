#pragma once
// setUpMachine: what the client does for a member on a new machine, for end-to-end suites of the
// real coding CLIs: signs the member in on the reference server and runs the served install script
// in a scratch home, as that member. Returns the member token; "" when a step failed, with what
// the script printed in `log`.
//
//   const QString token = setUpMachine(server, "anna", home, &log);
//   QVERIFY2(!token.isEmpty(), qPrintable(log));
//
// runSetup: the client's set-up script for `home`, `url` and `token` run to its end; its exit
// status (-1000 when the values are refused, -2000 when it never ends), the output in `log`, and
// the output so far handed to `onOutput` while it runs.
#include <QString>

#include <functional>

class ReferenceServer;

QString setUpMachine(ReferenceServer &server, const QString &login, const QString &home, QString *log);
int runSetup(const QString &home, const QString &url, const QString &token, QString *log,
             const std::function<void(const QString &)> &onOutput = {});

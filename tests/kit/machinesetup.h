#pragma once
// setUpMachine: what the client does for a member on a new machine, for end-to-end suites of the
// real coding CLIs: signs the member in on the reference server and runs the served install script
// in a scratch home, as that member. Returns the member token; "" when a step failed, with what
// the script printed in `log`.
//
//   const QString token = setUpMachine(server, "anna", home, &log);
//   QVERIFY2(!token.isEmpty(), qPrintable(log));
#include <QString>

class ReferenceServer;

QString setUpMachine(ReferenceServer &server, const QString &login, const QString &home, QString *log);

#pragma once

#include <QString>

// Orders two version texts: -1 when a is older than b, 0 when they are the same version,
// 1 when a is newer. Dotted numbers compare part by part, a missing part counting as 0
// ("1.2" == "1.2.0"). Whatever follows the numbers is a pre-release tag: a release is newer
// than any of its pre-releases ("1.2.0-beta" < "1.2.0"), and tags compare naturally
// ("beta2" < "beta10" < "rc1"). A leading "v" and "+build" metadata are ignored. Any input,
// however odd or long, gets an answer.
int compareVersions(const QString &a, const QString &b);

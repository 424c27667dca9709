#pragma once
// Where the team server is and where machine set-up leaves its configuration file.
#include <QString>

namespace endpoint {

// Base URL of the team server, without a trailing slash. BRINDLE_SERVER_URL replaces the built-in
// default when it is set at all, even to an empty value. Computed on first use, then fixed for the
// run; safe to read from any thread afterwards.
QString serverUrl();

// Origin of an earlier service endpoint. Start-up migrates a saved URL equal to it (exact string
// comparison); nothing is ever sent there.
QString retiredUrl();

// Reverse-DNS application identifier: secret-store service name and log subsystem.
QString appId();

// "~/.brindle/config", with "~" the current home directory (read on every call).
QString configPath();

// True when anything at all exists at configPath(): a file (empty or not), a directory, even a
// dangling symbolic link. The client never reads the file, its presence means "machine set up".
bool configExists();

} // namespace endpoint

#!/usr/bin/env bash
# Builds the two Debian packages, corvane-team (the client) and corvane-team-server, into dist/.
#   scripts/package.sh            into dist/
#   scripts/package.sh OUT_DIR    into OUT_DIR
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${CORVANE_BUILD_DIR:-$root/build}"
out="${1:-$root/dist}"
"$root/scripts/build.sh" corvane-team corvane-team-server
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
rm -rf "$out/_CPack_Packages"
ls "$out"/*.deb

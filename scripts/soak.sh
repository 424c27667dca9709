#!/usr/bin/env bash
# The long GUI soak: the real main window driven by mouse and keyboard for many rounds (50 by
# default) against the reference server with moving figures, built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/, shared with scripts/test.sh --sanitize). A crash or a
# sanitizer report fails it. CI runs one round of the same test in the plain build.
#   scripts/soak.sh [ROUNDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
rounds="${1:-50}"
"$root/scripts/install-deps.sh"
. "$root/scripts/sanitizer-env.sh"
build="$(sanitizer_build "$root")"
ninja -C "$build" tst_gui_soak corvane-team-server

export HOME="$(mktemp -d)"
export XDG_RUNTIME_DIR="$(mktemp -d)"
chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$HOME" "$XDG_RUNTIME_DIR"' EXIT
export QT_QPA_PLATFORM=xcb TZ=Europe/Moscow CORVANE_SOAK_ROUNDS="$rounds"
# QtTest stops a test function after 5 minutes; a round takes about a minute under the
# sanitizers, so the watchdog is given ten minutes a round.
export QTEST_FUNCTION_TIMEOUT=$(( rounds * 600000 ))
export CORVANE_SERVER_BIN="$build/server/corvane-team-server"
start=$(date +%s)
xvfb-run -a -s "-screen 0 1700x1100x24" "$build/tests/ui/tst_gui_soak"
echo "soak: $rounds rounds without a crash or a sanitizer report in $(( $(date +%s) - start )) s"

#!/usr/bin/env bash
# ThreadSanitizer over the code that shares data between threads: the client's team load (the
# answer decoded and the replaced list freed on the thread pool) and the server (libmicrohttpd's
# worker threads, the intake's write queue, the answer cache). Own build folder, build-tsan/.
# Any report fails the run. What is left out of the reports and why: tests/sanitizers/tsan.supp.
#   scripts/tsan.sh [ctest -R regex]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${CORVANE_TSAN_BUILD_DIR:-$root/build-tsan}"
suites="${1:-^(tst_team_e2e|tst_store_admin_failures|tst_server_api|tst_server_intake|tst_server_limits)$}"
"$root/scripts/install-deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_TSAN=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
fi
ninja -C "$build" corvane-team-server tst_team_e2e tst_store_admin_failures tst_server_api \
  tst_server_intake tst_server_limits
export HOME="$(mktemp -d)"
export XDG_RUNTIME_DIR="$(mktemp -d)"
chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$HOME" "$XDG_RUNTIME_DIR"' EXIT
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$root/tests/sanitizers/tsan.supp"
ctest --test-dir "$build" -R "$suites" --output-on-failure

#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite (no display needed).
#   scripts/test.sh             the suite CI runs (build/)
#   scripts/test.sh --sanitize  the same suites built with AddressSanitizer and UndefinedBehaviorSanitizer
#                               in build-asan/ (any report fails the test that made it; what is left
#                               out of the reports and why: tests/sanitizers/*.supp)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
sanitize=0
if [ "${1:-}" = "--sanitize" ]; then sanitize=1; shift; fi

if [ $sanitize = 1 ]; then
  . "$root/scripts/sanitizer-env.sh"
  build="$(sanitizer_build "$root")"
  ninja -C "$build"
  timeout=900
else
  # A build folder made for the suite alone needs no debug information: without it the cold build
  # on a two-core machine is minutes shorter (an existing folder keeps its own type).
  CORVANE_BUILD_TYPE="${CORVANE_BUILD_TYPE:-Release}" "$root/scripts/build.sh"
  build="${CORVANE_BUILD_DIR:-$root/build}"
  timeout=300
fi

# Tests write set-up files below HOME and must never touch the real one.
export HOME="$(mktemp -d)"
export XDG_RUNTIME_DIR="$(mktemp -d)"
chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$HOME" "$XDG_RUNTIME_DIR"' EXIT
ctest --test-dir "$build" --output-on-failure -j2 --timeout $timeout "$@"

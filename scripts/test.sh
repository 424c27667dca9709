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
  build="${CORVANE_ASAN_BUILD_DIR:-$root/build-asan}"
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_SANITIZE=ON >/dev/null
  fi
  ninja -C "$build"
  supp="$root/tests/sanitizers"
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:suppressions=$supp/asan.supp"
  export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  timeout=900
else
  "$root/scripts/build.sh"
  build="${CORVANE_BUILD_DIR:-$root/build}"
  timeout=300
fi

# Tests write set-up files below HOME and must never touch the real one.
export HOME="$(mktemp -d)"
export XDG_RUNTIME_DIR="$(mktemp -d)"
chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$HOME" "$XDG_RUNTIME_DIR"' EXIT
ctest --test-dir "$build" --output-on-failure -j2 --timeout $timeout "$@"

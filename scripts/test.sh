#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite (no display needed).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build="${CORVANE_BUILD_DIR:-$root/build}"
# Tests write set-up files below HOME and must never touch the real one.
export HOME="$(mktemp -d)"
export XDG_RUNTIME_DIR="$(mktemp -d)"
chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$HOME" "$XDG_RUNTIME_DIR"' EXIT
ctest --test-dir "$build" --output-on-failure -j2 --timeout 300

#!/usr/bin/env bash
# Configures (once) and builds everything into build/. Usage: scripts/build.sh [ninja targets...]
# CORVANE_BUILD_TYPE picks the CMake build type of a new build folder (default RelWithDebInfo).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${CORVANE_BUILD_DIR:-$root/build}"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${CORVANE_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
fi
ninja -C "$build" "$@"

#!/usr/bin/env bash
# Installs what is missing, builds, starts the reference team server with a demo team,
# prints the demo sign-ins and opens the client pointed at it. Quitting the client stops the server.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" corvane-team corvane-team-server
build="${CORVANE_BUILD_DIR:-$root/build}"
data="${CORVANE_DEMO_DIR:-$HOME/.local/share/corvane-team-demo}"
mkdir -p "$data"
out="$data/server.out"
# A fresh demo team each run; --seed keeps its passwords the same from run to run.
rm -f "$data/team.sqlite" "$data/team.sqlite-wal" "$data/team.sqlite-shm"
"$build/server/corvane-team-server" --port "${CORVANE_DEMO_PORT:-0}" --db "$data/team.sqlite" \
  --demo --seed 1 --simulate >"$out" &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
trap 'exit 130' INT TERM
# The URL comes first; the sign-ins follow once the demo passwords are hashed.
for _ in $(seq 200); do grep -q '^login ' "$out" 2>/dev/null && break; sleep 0.1; done
sleep 0.3
url="$(head -n1 "$out")"
echo "Reference team server: $url"
echo "Demo sign-ins:"
grep '^login ' "$out" | sed 's/^/  /' || true
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: the server keeps running; press Ctrl+C to stop it." >&2
  wait $server
  exit 0
fi
BRINDLE_SERVER_URL="$url" BRINDLE_APPCAST_URL="$url/appcast.xml" "$build/src/corvane-team" "$@"

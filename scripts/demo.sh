#!/usr/bin/env bash
# Installs what is missing, builds, starts the reference team server with a demo team,
# prints the demo sign-ins and opens the client pointed at it. Quitting the client stops the server.
#
# The client runs with a home, config, data and runtime folder of its own under the demo folder
# and keeps its session in memory: the user's own ~/.brindle/config, installed tools, saved
# session and running client stay as they were.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" corvane-team corvane-team-server
build="${CORVANE_BUILD_DIR:-$root/build}"
data="${CORVANE_DEMO_DIR:-$build/demo}"
mkdir -p "$data"
data="$(cd "$data" && pwd)"
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

# The demo client's own folders. Set-up writes the demo's ~/.brindle into demo/home.
home="$data/home"
runtime="$data/run"
mkdir -p "$home" "$runtime"
chmod 700 "$home" "$runtime"
rm -rf "$home/.brindle"
# The display and the session bus are found through HOME and XDG_RUNTIME_DIR by default; pin
# them to the user's own before both change.
if [ -n "${XAUTHORITY:-}" ] || [ -f "$HOME/.Xauthority" ]; then
  export XAUTHORITY="${XAUTHORITY:-$HOME/.Xauthority}"
fi
if [ -n "${WAYLAND_DISPLAY:-}" ] && [ "${WAYLAND_DISPLAY#/}" = "$WAYLAND_DISPLAY" ] && [ -n "${XDG_RUNTIME_DIR:-}" ]; then
  export WAYLAND_DISPLAY="$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"
fi
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && [ -n "${XDG_RUNTIME_DIR:-}" ] && [ -S "$XDG_RUNTIME_DIR/bus" ]; then
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
fi
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
  XDG_CACHE_HOME="$home/.cache" XDG_STATE_HOME="$home/.local/state" XDG_RUNTIME_DIR="$runtime" \
  CORVANE_SECRET_STORE=memory \
  BRINDLE_SERVER_URL="$url" BRINDLE_APPCAST_URL="$url/appcast.xml" "$build/src/corvane-team" "$@"

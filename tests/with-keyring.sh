#!/bin/bash
# Runs a command inside a private D-Bus session that has an unlocked, throwaway GNOME keyring
# (Secret Service), so secret-store tests never touch the real user's keyring or need a display.
# Everything started here is stopped again, whatever the command's outcome.
# Usage: tests/with-keyring.sh <command> [args...]
set -u

tmp=$(mktemp -d "${TMPDIR:-/tmp}/corvane-keyring.XXXXXX") || exit 1
trap 'rm -rf "$tmp"' EXIT

export HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" XDG_CONFIG_HOME="$tmp/home/.config" \
       XDG_DATA_HOME="$tmp/home/.local/share" XDG_CACHE_HOME="$tmp/home/.cache"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$HOME" "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY XDG_CURRENT_DESKTOP DESKTOP_SESSION CORVANE_SECRET_STORE
export CORVANE_TEST_KEYRING=1

# dbus-run-session stops its bus when the inner shell ends; the inner shell stops the keyring.
dbus-run-session -- bash -c '
  set -u
  printf "throwaway" | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
  keyring=$!
  trap "kill $keyring 2>/dev/null; wait $keyring 2>/dev/null" EXIT
  trap "exit 143" TERM INT
  # Wait (at most 5 s) until the keyring owns the Secret Service name on this bus.
  for _ in $(seq 50); do
    if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
         org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q "boolean true"; then
      break
    fi
    sleep 0.1
  done
  "$@"
' with-keyring "$@"

#!/usr/bin/env bash
# The client's package: built by CPack, unpacked into a scratch root (dpkg -x: nothing touches the
# machine's own package database, so the other suites are undisturbed), its menu entry and
# AppStream file validated, and the unpacked binary started once under Xvfb for a screenshot.
# The server's package: its unit and maintainer scripts are where systemd and dpkg look for them.
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
client="$(ls "$work"/out/corvane-team_*.deb)"
server="$(ls "$work"/out/corvane-team-server_*.deb)"

dpkg-deb -f "$client" Depends | grep 'qml6-module-qtquick-controls' | grep -q 'libqt6quick6' \
  || { echo "the client's Depends lack the QML modules or the Qt libraries"; exit 1; }

root="$work/root"
dpkg -x "$client" "$root"
for f in usr/bin/corvane-team usr/share/applications/com.corvane.team.desktop \
         usr/share/metainfo/com.corvane.team.metainfo.xml \
         usr/share/icons/hicolor/128x128/apps/com.corvane.team.png \
         usr/share/icons/hicolor/symbolic/apps/com.corvane.team-symbolic.svg; do
  [ -e "$root/$f" ] || { echo "missing from the client package: /$f"; exit 1; }
done
desktop-file-validate "$root/usr/share/applications/com.corvane.team.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.corvane.team.metainfo.xml" >/dev/null

export HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=xcb timeout 120 xvfb-run -a "$root/usr/bin/corvane-team" --screen auth --screenshot "$work/auth.png"
[ -s "$work/auth.png" ] || { echo "the installed client took no screenshot"; exit 1; }

sroot="$work/sroot"
dpkg -x "$server" "$sroot"
dpkg-deb -e "$server" "$sroot/DEBIAN"
for f in usr/bin/corvane-team-server usr/lib/systemd/system/corvane-team-server.service \
         etc/default/corvane-team-server DEBIAN/postinst DEBIAN/conffiles; do
  [ -e "$sroot/$f" ] || { echo "missing from the server package: /$f"; exit 1; }
done
grep -q '^User=corvane-team$' "$sroot"/usr/lib/systemd/system/corvane-team-server.service
# The server's feed offers the client's package, served as built.
"$sroot/usr/bin/corvane-team-server" --port 0 --db "$work/feed.sqlite" --feed-package "$client" \
  --public-url https://team.example.com >"$work/feed.out" 2>/dev/null &
feed=$!
for _ in $(seq 100); do [ -s "$work/feed.out" ] && break; sleep 0.1; done
url="$(head -n1 "$work/feed.out")"
name="$(basename "$client")"
curl -sf "$url/appcast.xml" | grep -q "<link>https://team.example.com/download/$name</link>" \
  || { kill $feed; echo "the feed does not offer $name"; exit 1; }
curl -sf "$url/download/$name" -o "$work/got.deb" && cmp -s "$work/got.deb" "$client" \
  || { kill $feed; echo "the served package differs"; exit 1; }
kill $feed
echo "packages ok: $(basename "$client") $(basename "$server")"

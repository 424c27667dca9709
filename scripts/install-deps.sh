#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Corvane Team needs.
# Idempotent: when everything is already present it only checks and returns.
# The Claude Code and Codex CLIs (npm, pinned) go to $CORVANE_CLI_DIR (default /opt/corvane-cli) for
# the end-to-end tests of a member's machine; they run there only against fakes of their APIs.
# Usage: scripts/install-deps.sh [--fuzz]   (--fuzz: also clang and libFuzzer, for scripts/fuzz.sh;
# the sanitizer run of scripts/test.sh needs nothing more, g++ brings ASan and UBSan)
set -euo pipefail

PKGS=(
  # build
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-declarative-dev qt6-declarative-dev-tools qt6-httpserver-dev qt6-websockets-dev
  libqt6sql6-sqlite qtkeychain-qt6-dev libsystemd-dev qt6-svg-dev libgl-dev libsimdjson-dev
  # QML modules at run time
  qml6-module-qtquick qml6-module-qtqml qml6-module-qtqml-models qml6-module-qtqml-workerscript
  qml6-module-qtquick-controls qml6-module-qtquick-templates qml6-module-qtquick-layouts
  qml6-module-qtquick-window qml6-module-qtquick-dialogs qml6-module-qtquick-shapes
  qml6-module-qttest qml6-module-qt-labs-platform qml6-module-qtqml-statemachine
  # Russian texts of the dialogs Qt draws itself (file dialogs)
  qt6-translations-l10n
  # fonts and icons bundled into the resources
  fonts-noto-core fonts-material-design-icons-iconfont
  # test services
  xvfb xauth dbus dbus-x11 gnome-keyring libsecret-tools trayer curl tzdata imagemagick
  # the CSV test reads the export back with Python's csv module; the machine set-up's scripts
  # use it too, and the end-to-end test drives the Claude Code CLI in a terminal
  python3 tmux
  # the team server: HTTP, sealed keys, PostgreSQL (driver and, for its tests, the server itself)
  libmicrohttpd-dev libsodium-dev zlib1g-dev libqt6sql6-psql postgresql
  # server benches: a load generator and a static-file floor
  wrk nginx-light
  # packages: dependencies of the .debs, checks of the desktop entry and the AppStream file
  dpkg-dev desktop-file-utils appstream
)

if [ "${1:-}" = "--fuzz" ]; then
  PKGS+=(clang libfuzzer-14-dev libclang-rt-14-dev)
fi

# The CLIs below install with npm; machines whose Node.js came from elsewhere keep theirs.
command -v npm >/dev/null 2>&1 || PKGS+=(nodejs npm)

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# The watched CLIs: native binaries inside npm packages; their install scripts are not needed.
CLI_DIR="${CORVANE_CLI_DIR:-/opt/corvane-cli}"
CLIS=("@anthropic-ai/claude-code@2.1.337" "@openai/codex@0.171.0")
install_clis() {
  local want have=1
  for want in "${CLIS[@]}"; do
    local name="${want%@*}"
    [ "$(node -p "require('$CLI_DIR/node_modules/$name/package.json').version" 2>/dev/null)" = "${want##*@}" ] || have=0
  done
  [ $have = 1 ] && return 0
  echo "installing into $CLI_DIR: ${CLIS[*]}" >&2
  $SUDO mkdir -p "$CLI_DIR"
  $SUDO npm install --prefix "$CLI_DIR" --no-audit --no-fund --loglevel=error "${CLIS[@]}" >/dev/null
}

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
if [ ${#missing[@]} -eq 0 ]; then
  install_clis
  exit 0
fi

echo "installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
# PostgreSQL and nginx are only run by the tests and benches, in folders of their own: the
# packages must neither create a system cluster nor start services.
$SUDO mkdir -p /etc/postgresql-common/createcluster.d
echo "create_main_cluster = false" | $SUDO tee /etc/postgresql-common/createcluster.d/corvane.conf >/dev/null
policy=""
if [ ! -e /usr/sbin/policy-rc.d ]; then
  policy=/usr/sbin/policy-rc.d
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  trap '$SUDO rm -f "$policy"' EXIT
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
install_clis

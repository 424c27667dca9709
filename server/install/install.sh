#!/usr/bin/env bash
# Corvane Team: set-up of a member's machine. Runs as the member, never as root, with bash,
# coreutils and curl; python3 is used where present (settings.json merge, Codex session files).
#
# BRINDLE_URL and BRINDLE_TOKEN come from the environment only: a command line can be read by
# every local user. Everything lands below $HOME; ~/.brindle/uninstall.sh puts the machine back.
# A second run with the same values changes no file's content.
#
# The client ticks its four progress steps by words in this output ("statusline", "алиас",
# "otel"/"hooks", "agent"), so nothing else printed here may carry those words.
set -eu
umask 022

BRINDLE_URL="${BRINDLE_URL:-}"
BRINDLE_TOKEN="${BRINDLE_TOKEN:-}"
if [ -z "$BRINDLE_URL" ] || [ -z "$BRINDLE_TOKEN" ]; then
  echo "ошибка: BRINDLE_URL и BRINDLE_TOKEN не заданы" >&2
  exit 2
fi
# Both values end up between double quotes in files that get sourced, and in JSON and TOML.
case "$BRINDLE_URL$BRINDLE_TOKEN" in
  *[\"\\\$\`[:cntrl:][:space:]]*)
    echo "ошибка: адрес сервера или ключ содержат недопустимые символы" >&2
    exit 2 ;;
esac
BRINDLE_URL="${BRINDLE_URL%/}"
TOOLING="__TOOLING__"

B="$HOME/.brindle"
CLAUDE_DIR="$HOME/.claude"
SETTINGS="$CLAUDE_DIR/settings.json"
CODEX_DIR="${CODEX_HOME:-$HOME/.codex}"
mkdir -p "$B/bin" "$B/cache" "$B/spool" "$B/state"
chmod 700 "$B" "$B/spool" "$B/state"
mkdir -p -m 700 "$B/backup"

# put FILE MODE: writes stdin to FILE through a temporary file and a rename, and only when the
# content differs, so a second run leaves the file (and its time stamp) alone.
put() {
  local tmp
  tmp="$(mktemp "$1.XXXXXX")"
  cat > "$tmp"
  chmod "$2" "$tmp"
  if [ -f "$1" ] && [ ! -L "$1" ] && cmp -s "$tmp" "$1"; then
    rm -f "$tmp"
    chmod "$2" "$1"
  else
    mv -f -T "$tmp" "$1"
  fi
}

have() { command -v "$1" >/dev/null 2>&1; }

printf '%s\n' "==> statusline: статуслайн и меню лимитов Claude Code"

# The config the client writes; written here too when the script is run by hand.
printf 'BRINDLE_URL="%s"\nBRINDLE_TOKEN="%s"\n' "$BRINDLE_URL" "$BRINDLE_TOKEN" | put "$B/config" 600
printf '%s\n' "$TOOLING" | put "$B/tooling" 644

# Every report goes through send.sh: it reads the token from the 0600 config (never from its
# arguments), sends, and spools what the server did not take so that nothing is lost offline.
put "$B/bin/send.sh" 755 <<'EOF'
#!/usr/bin/env bash
# send.sh ROUTE [KEY] < body: POSTs the body to /api/intake/ROUTE. A report that got no answer,
# 429 or 5xx is kept in ~/.brindle/spool (under KEY when given, so a newer report of the same kind
# replaces an older one) and resent by flush. 4xx other than 429 will never be accepted: dropped.
#   send.sh flush   resends the spool, oldest first, and stops at the first failure.
set -u
B="$HOME/.brindle"
. "$B/config" 2>/dev/null || exit 0
[ -n "${BRINDLE_URL:-}" ] && [ -n "${BRINDLE_TOKEN:-}" ] || exit 0

# post ROUTE FILE: prints the HTTP status (000 when nothing answered); the answer goes to FILE.out.
# The token reaches curl through a descriptor, never its command line.
post() {
  local account="" host tooling=""
  host="$(uname -n)"
  [ -r "$B/cache/account" ] && account="$(head -c 200 "$B/cache/account")"
  [ -r "$B/tooling" ] && tooling="$(head -c 64 "$B/tooling")"
  curl -sS -o "$2.out" -w '%{http_code}' --connect-timeout 5 --max-time 15 \
    -H @<(printf 'Authorization: Bearer %s\n' "$BRINDLE_TOKEN") \
    -H "Content-Type: application/json" -H "X-Corvane-Host: $host" \
    -H "X-Corvane-Account: $account" -H "X-Corvane-Tooling: $tooling" \
    --data-binary @"$2" "$BRINDLE_URL/api/intake/$1" 2>/dev/null || true
}

# A heartbeat is about now: one that did not arrive is worth nothing later.
kept() {
  [ "$route" = heartbeat ] && return 1
  case "$1" in 2??|4??) [ "$1" = 429 ] ;; *) true ;; esac
}

flush() {
  exec 9>"$B/spool/.lock"
  flock -n 9 || return 0
  local f route code
  for f in $(ls -1tr "$B/spool" 2>/dev/null | grep -v '^\.' | grep -v '\.out$'); do
    route="${f%%.*}"
    code="$(post "$route" "$B/spool/$f")"
    rm -f "$B/spool/$f.out"
    if kept "$code"; then return 0; fi
    rm -f "$B/spool/$f"
  done
}

[ "${1:-}" = flush ] && { flush; exit 0; }
route="$1"
key="${2:-$(date +%s%N).$$}"
work="$(mktemp "$B/spool/.send.XXXXXX")"
trap 'rm -f "$work" "$work.out"' EXIT
head -c 1048576 > "$work"
code="$(post "$route" "$work")"
if kept "$code"; then
  chmod 600 "$work"
  mv -f "$work" "$B/spool/$route.$key"
  exit 1
fi
case "$code" in
  2??) if [ "$route" = statusline ] && [ -s "$work.out" ]; then
         head -n 1 "$work.out" | head -c 300 > "$B/cache/.statusline.$$" &&
           mv -f "$B/cache/.statusline.$$" "$B/cache/statusline.txt"
       fi
       flush ;;
esac
exit 0
EOF

# The status line must come back in milliseconds (Claude Code kills a command still running at
# the next update): it prints the line the server answered last time and sends this reading in
# the background. The member's own status line, if they had one, prints after ours.
put "$B/bin/statusline.sh" 755 <<'EOF'
#!/usr/bin/env bash
# Builtins only on the way to the printed line: every fork costs time on a busy machine.
B="$HOME/.brindle"
IFS= read -r -d '' input || true
line=""
[ -r "$B/cache/statusline.txt" ] && IFS= read -r line < "$B/cache/statusline.txt"
key=nosession
[[ $input =~ \"session_id\"[[:space:]]*:[[:space:]]*\"([A-Za-z0-9-]{1,64})\" ]] && key="${BASH_REMATCH[1]}"
printf '%s' "$input" | setsid -f "$B/bin/send.sh" statusline "$key" >/dev/null 2>&1
if [[ $input =~ \"version\"[[:space:]]*:[[:space:]]*\"([0-9][0-9A-Za-z.+-]{0,31})\" ]]; then
  seen=""
  [ -r "$B/cache/version-claude" ] && IFS= read -r seen < "$B/cache/version-claude"
  [ "$seen" = "${BASH_REMATCH[1]}" ] || printf '%s\n' "${BASH_REMATCH[1]}" > "$B/cache/version-claude"
fi
own=""
if [ -s "$B/state/member-statusline" ]; then
  own="$(printf '%s' "$input" | bash -c "$(< "$B/state/member-statusline")" 2>/dev/null)"
fi
if [ -n "$own" ]; then
  printf '%s  %s\n' "${line:-Corvane}" "$own"
else
  printf '%s\n' "${line:-Corvane}"
fi
EOF

# uninstall.sh first, so that even a set-up cut short can be undone.
put "$B/uninstall.sh" 755 <<'EOF'
#!/usr/bin/env bash
# Puts the machine back as it was before the team set-up: Claude Code's settings.json, Codex's
# config.toml and ~/.bashrc lose what set-up added (or get their original back), the presence
# service stops, and ~/.brindle goes.
set -u
B="$HOME/.brindle"
SETTINGS="$HOME/.claude/settings.json"
CODEX_DIR="${CODEX_HOME:-$HOME/.codex}"
status=0

if command -v systemctl >/dev/null 2>&1 && [ -f "$HOME/.config/systemd/user/corvane-presence.service" ]; then
  systemctl --user disable --now corvane-presence.service >/dev/null 2>&1 || true
  rm -f "$HOME/.config/systemd/user/corvane-presence.service"
  systemctl --user daemon-reload >/dev/null 2>&1 || true
fi
pkill -u "$(id -u)" -f "$B/bin/presence.sh" >/dev/null 2>&1 || true

# settings.json: untouched since set-up wrote it -> the original comes back byte for byte;
# changed by the member since -> only our entries go (their later changes stay).
if [ -f "$B/state/settings.sha256" ] && [ -f "$SETTINGS" ]; then
  if [ "$(sha256sum < "$SETTINGS" | cut -d' ' -f1)" = "$(cat "$B/state/settings.sha256")" ]; then
    if [ -f "$B/backup/settings.json" ]; then
      cp -p "$B/backup/settings.json" "$SETTINGS"
    elif [ -f "$B/backup/settings.json.absent" ]; then
      rm -f "$SETTINGS"
    fi
  elif command -v python3 >/dev/null 2>&1; then
    python3 "$B/bin/settings.py" unmerge "$SETTINGS" </dev/null || status=1
  else
    echo "~/.claude/settings.json изменён после настройки, а python3 нет: убери из него строки с .brindle вручную" >&2
    status=1
  fi
fi

[ -f "$B/backup/claude-dir.absent" ] && rmdir "$HOME/.claude" 2>/dev/null
toml="$CODEX_DIR/config.toml"
if [ -f "$toml" ] && grep -q '^# corvane-team begin' "$toml"; then
  if [ "$(sha256sum < "$toml" | cut -d' ' -f1)" = "$(cat "$B/state/codex-config.sha256" 2>/dev/null)" ]; then
    if [ -f "$B/backup/codex-config.toml" ]; then cp -p "$B/backup/codex-config.toml" "$toml"
    elif [ -f "$B/backup/codex-config.toml.absent" ]; then rm -f "$toml"; fi
  else
    sed -i --follow-symlinks '/^# corvane-team begin/,/^# corvane-team end/d' "$toml"
  fi
fi
grep -qs '# corvane-team quick commands$' "$HOME/.bashrc" && sed -i --follow-symlinks '/# corvane-team quick commands$/d' "$HOME/.bashrc"
[ -f "$B/backup/bashrc.absent" ] && [ ! -s "$HOME/.bashrc" ] && rm -f "$HOME/.bashrc"

if [ $status = 0 ]; then
  rm -rf "$B"
  echo "Corvane Team удалён с этой машины"
fi
exit $status
EOF

printf '%s\n' "==> quick-cmds: алиасы opus / sonnet / glm / kimi / max"
# GLM and Kimi run Claude Code against their providers' Anthropic-compatible endpoints with the
# member's own key (ZAI_API_KEY, MOONSHOT_API_KEY); the team server never hands keys out.
put "$B/bin/via-provider.sh" 755 <<'EOF'
#!/usr/bin/env bash
# via-provider.sh glm|kimi [claude arguments...]
case "$1" in
  glm)  url="https://api.z.ai/api/anthropic"; var=ZAI_API_KEY; model="glm-4.6" ;;
  kimi) url="https://api.moonshot.ai/anthropic"; var=MOONSHOT_API_KEY; model="kimi-k2-turbo-preview" ;;
  *) echo "неизвестный провайдер: $1" >&2; exit 2 ;;
esac
shift
if [ -z "${!var:-}" ]; then
  echo "нужен ключ провайдера в переменной $var" >&2
  exit 2
fi
ANTHROPIC_BASE_URL="$url" ANTHROPIC_AUTH_TOKEN="${!var}" exec claude --model "$model" "$@"
EOF
put "$B/shell.sh" 644 <<'EOF'
# Corvane Team quick commands, sourced from ~/.bashrc.
alias opus='claude --model opus'
alias sonnet='claude --model sonnet'
alias max='claude --model opus --effort max'
alias glm="$HOME/.brindle/bin/via-provider.sh glm"
alias kimi="$HOME/.brindle/bin/via-provider.sh kimi"
# Where Claude Code's settings could not be merged, its telemetry comes from the environment.
[ -r "$HOME/.brindle/state/telemetry.env" ] && . "$HOME/.brindle/state/telemetry.env"
EOF
[ -e "$HOME/.bashrc" ] || touch "$B/backup/bashrc.absent"
if ! grep -qs '# corvane-team quick commands$' "$HOME/.bashrc"; then
  # A last line without its line feed must not run into ours.
  [ -s "$HOME/.bashrc" ] && [ -n "$(tail -c 1 "$HOME/.bashrc")" ] && echo >> "$HOME/.bashrc"
  printf '%s\n' '[ -r "$HOME/.brindle/shell.sh" ] && . "$HOME/.brindle/shell.sh" # corvane-team quick commands' >> "$HOME/.bashrc"
fi

printf '%s\n' "==> telemetry: OTEL + hooks"
# Claude Code asks this helper for the export headers, so the token stays in the 0600 config
# instead of settings.json.
put "$B/bin/otel-headers.sh" 755 <<'EOF'
#!/usr/bin/env bash
. "$HOME/.brindle/config" && printf '{"Authorization": "Bearer %s"}\n' "$BRINDLE_TOKEN"
EOF

# Hooks report session start, each answer's end and session end. A hook's input can hold the
# member's prompt: that key is removed before anything leaves the machine (without python3 a
# report that mentions one is not sent at all).
put "$B/bin/hook.sh" 755 <<'EOF'
#!/usr/bin/env bash
B="$HOME/.brindle"
input="$(head -c 1048576)"
if command -v python3 >/dev/null 2>&1; then
  input="$(printf '%s' "$input" | python3 -c 'import json,sys
d=json.load(sys.stdin)
for k in ("prompt","user_prompt","last_assistant_message"): d.pop(k,None)
print(json.dumps(d))' 2>/dev/null)" || exit 0
elif printf '%s' "$input" | grep -q '"prompt" *:'; then
  exit 0
fi
[ -n "$input" ] || exit 0
case "$input" in *'"SessionStart"'*) "$B/bin/account.sh" ;; esac
printf '%s' "$input" | "$B/bin/send.sh" hook >/dev/null 2>&1
# Without a presence service, the hooks carry the heartbeat and the spool.
[ -f "$B/state/presence-service" ] || "$B/bin/presence.sh" --once >/dev/null 2>&1
exit 0
EOF

# The account is the "oauthAccount" e-mail in ~/.claude.json (not a credential; the credentials
# file is never read). Cached so the status line needs no parsing.
put "$B/bin/account.sh" 755 <<'EOF'
#!/usr/bin/env bash
B="$HOME/.brindle"
f="${CLAUDE_CONFIG_DIR:-$HOME}/.claude.json"
[ -r "$f" ] || exit 0
if command -v python3 >/dev/null 2>&1; then
  mail="$(python3 -c 'import json,sys
print((json.load(open(sys.argv[1])).get("oauthAccount") or {}).get("emailAddress",""))' "$f" 2>/dev/null)"
else
  mail="$(grep -o '"emailAddress" *: *"[^"]*"' "$f" | head -n 1 | sed 's/.*: *"//; s/"$//')"
fi
mail="$(printf '%s' "$mail" | tr -d '\r\n' | head -c 200)"
printf '%s' "$mail" > "$B/cache/.account.$$" && mv -f "$B/cache/.account.$$" "$B/cache/account"
EOF

put "$B/bin/settings.py" 755 <<'EOF'
#!/usr/bin/env python3
"""Merges the team's entries into Claude Code's settings.json, or takes them out again.

settings.py merge FILE URL     exit 0 merged (or already merged), 3 the file is not a JSON object
settings.py unmerge FILE       takes out exactly what merge added; values the member had before
                               (kept in ~/.brindle/backup/settings.json) come back
Every key the member had stays. The member's own status line command is kept in
~/.brindle/state/member-statusline and printed after ours.
"""
import hashlib, json, os, sys

B = os.path.join(os.path.expanduser("~"), ".brindle")
STATUSLINE = os.path.join(B, "bin", "statusline.sh")
HOOK = os.path.join(B, "bin", "hook.sh")
HEADERS = os.path.join(B, "bin", "otel-headers.sh")
EVENTS = ("SessionStart", "Stop", "SessionEnd")
# Content that must not leave the machine once the export goes to the team server.
PRIVATE = ("OTEL_LOG_USER_PROMPTS", "OTEL_LOG_ASSISTANT_RESPONSES", "OTEL_LOG_TOOL_CONTENT",
           "OTEL_LOG_TOOL_DETAILS", "OTEL_LOG_RAW_API_BODIES")


def ours(command):
    return isinstance(command, str) and command.startswith(os.path.join(B, "bin") + "/")


def env_entries(url):
    return {
        "CLAUDE_CODE_ENABLE_TELEMETRY": "1",
        "OTEL_METRICS_EXPORTER": "otlp",
        "OTEL_LOGS_EXPORTER": "otlp",
        "OTEL_EXPORTER_OTLP_PROTOCOL": "http/json",
        "OTEL_EXPORTER_OTLP_ENDPOINT": url,
    }


def load(path):
    """The settings as a dict; None when the file is missing or blank. Exits 3 when invalid."""
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except FileNotFoundError:
        return None
    if not text.strip():
        return None
    try:
        data = json.loads(text)
    except ValueError as e:
        print(f"{path}: не JSON ({e.msg}, строка {e.lineno}) — файл оставлен как есть", file=sys.stderr)
        sys.exit(3)
    if not isinstance(data, dict):
        print(f"{path}: ожидался объект JSON — файл оставлен как есть", file=sys.stderr)
        sys.exit(3)
    for key in ("env", "hooks", "statusLine"):
        if key in data and not isinstance(data[key], dict):
            print(f"{path}: \"{key}\" не объект — файл оставлен как есть", file=sys.stderr)
            sys.exit(3)
    return data


def save(path, data, original):
    text = json.dumps(data, indent=2, ensure_ascii=False) + "\n"
    if text == original:
        return text
    tmp = path + ".corvane-tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        f.write(text)
    try:
        os.chmod(tmp, os.stat(path).st_mode & 0o7777)
    except FileNotFoundError:
        pass
    os.replace(tmp, path)
    return text


def merge(path, url):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    original = open(path, encoding="utf-8").read() if os.path.exists(path) else None
    data = load(path) or {}
    env = data.setdefault("env", {})
    env.update(env_entries(url))
    for key in PRIVATE:
        env.pop(key, None)
    env.pop("OTEL_EXPORTER_OTLP_HEADERS", None)  # the helper below sends ours
    data["otelHeadersHelper"] = HEADERS

    line = data.get("statusLine") or {}
    if not ours(line.get("command")):
        member = os.path.join(B, "state", "member-statusline")
        if isinstance(line.get("command"), str) and line["command"].strip():
            with open(member, "w", encoding="utf-8") as f:
                f.write(line["command"])
        elif os.path.exists(member):
            os.remove(member)
        kept = {k: v for k, v in line.items() if k not in ("type", "command")}
        # Re-run while idle too, so the server's answer to the last reading shows without waiting
        # for the next message (a refresh the member set stays).
        data["statusLine"] = {"type": "command", "command": STATUSLINE, "refreshInterval": 10, **kept}

    hooks = data.setdefault("hooks", {})
    for event in EVENTS:
        groups = hooks.setdefault(event, [])
        if not isinstance(groups, list):
            print(f"{path}: hooks.{event} не список — файл оставлен как есть", file=sys.stderr)
            sys.exit(3)
        if not any(ours(h.get("command")) for g in groups if isinstance(g, dict)
                   for h in g.get("hooks", []) if isinstance(h, dict)):
            groups.append({"hooks": [{"type": "command", "command": HOOK, "async": True, "timeout": 15}]})

    # The original is kept once: a later run must not take our own file for the member's.
    backup = os.path.join(B, "backup", "settings.json")
    if not os.path.exists(backup) and not os.path.exists(backup + ".absent"):
        if original is None:
            open(backup + ".absent", "w").close()
        else:
            with open(backup, "w", encoding="utf-8") as f:
                f.write(original)
    text = save(path, data, original)
    with open(os.path.join(B, "state", "settings.sha256"), "w") as f:
        f.write(hashlib.sha256(text.encode("utf-8")).hexdigest())


def unmerge(path):
    original = open(path, encoding="utf-8").read()
    data = load(path) or {}
    try:
        before = json.load(open(os.path.join(B, "backup", "settings.json"), encoding="utf-8"))
    except (OSError, ValueError):
        before = {}
    if not isinstance(before, dict):
        before = {}
    old_env = before.get("env") if isinstance(before.get("env"), dict) else {}
    env = data.get("env", {})
    for key in list(env_entries("")) + list(PRIVATE) + ["OTEL_EXPORTER_OTLP_HEADERS"]:
        if key in old_env:
            env[key] = old_env[key]
        else:
            env.pop(key, None)
    if "env" in data and not env and "env" not in before:
        del data["env"]
    for key in ("otelHeadersHelper", "statusLine"):
        if key == "statusLine" and not ours((data.get(key) or {}).get("command")):
            continue
        if key in before:
            data[key] = before[key]
        else:
            data.pop(key, None)
    hooks = data.get("hooks", {})
    for event in EVENTS:
        groups = []
        for g in hooks.get(event, []):
            if isinstance(g, dict) and isinstance(g.get("hooks"), list):
                g["hooks"] = [h for h in g["hooks"] if not (isinstance(h, dict) and ours(h.get("command")))]
                if not g["hooks"]:
                    continue
            groups.append(g)
        if groups or event in (before.get("hooks") or {}):
            hooks[event] = groups
        else:
            hooks.pop(event, None)
    if "hooks" in data and not hooks and "hooks" not in before:
        del data["hooks"]
    save(path, data, original)


if __name__ == "__main__":
    # A settings.json kept elsewhere and linked here (dotfiles) is edited where it lives.
    target = os.path.realpath(sys.argv[2])
    if sys.argv[1] == "merge":
        merge(target, sys.argv[3])
    else:
        unmerge(target)
EOF

# Claude Code's settings.json: merged with python3; without it a missing or blank file gets the
# whole set, and a file of the member's own is left alone (the shell then carries the telemetry).
settings_failed=0
rm -f "$B/state/telemetry.env"
[ -d "$CLAUDE_DIR" ] || [ -e "$B/backup/settings.json" ] || touch "$B/backup/claude-dir.absent"
if have python3; then
  python3 "$B/bin/settings.py" merge "$SETTINGS" "$BRINDLE_URL" </dev/null || settings_failed=$?
elif [ ! -s "$SETTINGS" ] || ! grep -q '[^[:space:]]' "$SETTINGS"; then
  mkdir -p "$CLAUDE_DIR"
  jb="$(printf '%s' "$B" | sed 's/\\/\\\\/g; s/"/\\"/g')"  # the folder as a JSON string
  [ -e "$SETTINGS" ] && cp -p "$SETTINGS" "$B/backup/settings.json" || touch "$B/backup/settings.json.absent"
  put "$SETTINGS" 644 <<EOF
{
  "env": {
    "CLAUDE_CODE_ENABLE_TELEMETRY": "1",
    "OTEL_METRICS_EXPORTER": "otlp",
    "OTEL_LOGS_EXPORTER": "otlp",
    "OTEL_EXPORTER_OTLP_PROTOCOL": "http/json",
    "OTEL_EXPORTER_OTLP_ENDPOINT": "$BRINDLE_URL"
  },
  "otelHeadersHelper": "$jb/bin/otel-headers.sh",
  "statusLine": {
    "type": "command",
    "command": "$jb/bin/statusline.sh",
    "refreshInterval": 10
  },
  "hooks": {
    "SessionStart": [{"hooks": [{"type": "command", "command": "$jb/bin/hook.sh", "async": true, "timeout": 15}]}],
    "Stop": [{"hooks": [{"type": "command", "command": "$jb/bin/hook.sh", "async": true, "timeout": 15}]}],
    "SessionEnd": [{"hooks": [{"type": "command", "command": "$jb/bin/hook.sh", "async": true, "timeout": 15}]}]
  }
}
EOF
  sha256sum < "$SETTINGS" | cut -d' ' -f1 > "$B/state/settings.sha256"
elif ! grep -qF "$B/bin/statusline.sh" "$SETTINGS"; then
  settings_failed=4
fi
if [ "$settings_failed" != 0 ]; then
  if [ "$settings_failed" = 4 ]; then
    echo "python3 не найден: $SETTINGS оставлен как есть, телеметрия Claude Code пойдёт через переменные окружения bash" >&2
  else
    echo "$SETTINGS не удалось дополнить: исправь файл и запусти настройку снова" >&2
  fi
  put "$B/state/telemetry.env" 600 <<EOF
export CLAUDE_CODE_ENABLE_TELEMETRY=1 OTEL_METRICS_EXPORTER=otlp OTEL_LOGS_EXPORTER=otlp
export OTEL_EXPORTER_OTLP_PROTOCOL=http/json OTEL_EXPORTER_OTLP_ENDPOINT="$BRINDLE_URL"
export OTEL_EXPORTER_OTLP_HEADERS="Authorization=Bearer $BRINDLE_TOKEN"
EOF
fi

# Codex CLI exports its events through an [otel] table; one the member already has is theirs.
codex_toml="$CODEX_DIR/config.toml"
if [ -d "$CODEX_DIR" ] || have codex; then
  mkdir -p "$CODEX_DIR"
  if [ ! -e "$B/backup/codex-config.toml" ] && [ ! -e "$B/backup/codex-config.toml.absent" ]; then
    if [ -e "$codex_toml" ]; then cp -p "$codex_toml" "$B/backup/codex-config.toml"
    else touch "$B/backup/codex-config.toml.absent"; fi
  fi
  [ -e "$codex_toml" ] || : > "$codex_toml"
  current="$(sed '/^# corvane-team begin/,/^# corvane-team end/d' "$codex_toml")"
  if ! printf '%s\n' "$current" | grep -Eq '^[[:space:]]*(\[[[:space:]]*otel[[:space:]]*[].]|otel[[:space:]]*[.=])'; then
    {
      [ -n "$current" ] && printf '%s\n\n' "$current"
      printf '%s\n' "# corvane-team begin: events to the team server; ~/.brindle/uninstall.sh takes this out"
      printf '%s\n' "[otel]" "environment = \"corvane\"" "log_user_prompt = false"
      # The machine and the set-up's revision go with each batch, as send.sh says them.
      printf 'exporter = { otlp-http = { endpoint = "%s/v1/logs", protocol = "json", headers = { "Authorization" = "Bearer %s", "X-Corvane-Host" = "%s", "X-Corvane-Tooling" = "%s" } } }\n' \
        "$BRINDLE_URL" "$BRINDLE_TOKEN" "$(uname -n | tr -d '"\\\000-\037')" "$TOOLING"
      printf '%s\n' "# corvane-team end"
    } | put "$codex_toml" 600
    sha256sum < "$codex_toml" | cut -d' ' -f1 > "$B/state/codex-config.sha256"
  fi
fi

printf '%s\n' "==> agent: агент присутствия"
put "$B/bin/presence.sh" 755 <<'EOF'
#!/usr/bin/env bash
# Presence for the team server: a heartbeat every 60 s, the windows of Codex sessions as they
# are written, and the spool of reports the server did not take. --once: one round and exit.
B="$HOME/.brindle"
CODEX_DIR="${CODEX_HOME:-$HOME/.codex}"

esc() { printf '%s' "$1" | tr -d '\000-\037' | sed 's/\\/\\\\/g; s/"/\\"/g'; }

# The version `$1 --version` prints, asked at most hourly; the status line also notes the version
# Claude Code reports, which counts where the CLI is not on this service's PATH.
version() {
  local cache="$B/cache/version-$1" v
  if [ -z "$(find "$cache" -mmin -60 2>/dev/null)" ] && command -v "$1" >/dev/null 2>&1; then
    v="$(timeout 10 "$1" --version 2>/dev/null | grep -o '[0-9][0-9.]*[0-9]' | head -n 1)"
    [ -n "$v" ] && printf '%s\n' "$v" > "$cache"
  fi
  cat "$cache" 2>/dev/null
}

heartbeat() {
  printf '{"host": "%s", "os_user": "%s", "claude_version": "%s", "codex_version": "%s", "tooling": "%s"}' \
    "$(esc "$(uname -n)")" "$(esc "$(id -un)")" "$(esc "$(version claude)")" "$(esc "$(version codex)")" \
    "$(esc "$(cat "$B/tooling" 2>/dev/null)")" | "$B/bin/send.sh" heartbeat >/dev/null 2>&1
}

# One report per Codex session file that grew: its newest token_count event with the window
# readings. Needs python3; without it Codex windows are not followed.
codex() {
  [ -d "$CODEX_DIR/sessions" ] && command -v python3 >/dev/null 2>&1 || return 0
  python3 "$B/bin/codex-windows.py" "$CODEX_DIR/sessions" "$B/state/codex.json" </dev/null |
    while IFS= read -r report; do
      printf '%s' "$report" | "$B/bin/send.sh" codex >/dev/null 2>&1
    done
}

round() {
  "$B/bin/account.sh"
  heartbeat
  codex
  "$B/bin/send.sh" flush
}

if [ "${1:-}" = --once ]; then
  exec 8>"$B/state/.presence.lock"
  flock -n 8 || exit 0
  round
  exit 0
fi
while :; do
  round
  sleep 60
done
EOF

put "$B/bin/codex-windows.py" 755 <<'EOF'
#!/usr/bin/env python3
"""codex-windows.py SESSIONS STATE: prints one JSON report per Codex rollout file that has a new
token_count event with rate limits since the last run. STATE keeps, per file, how far it was
read and the session's id, folder and model (written at the top of the file)."""
import datetime, glob, json, os, sys, time

sessions, state_path = sys.argv[1], sys.argv[2]
try:
    state = json.load(open(state_path))
except (OSError, ValueError):
    state = {}
week_ago = time.time() - 8 * 86400
seen = {}
for path in glob.glob(os.path.join(sessions, "*", "*", "*", "rollout-*.jsonl")):
    try:
        st = os.stat(path)
    except OSError:
        continue
    if st.st_mtime < week_ago:
        continue
    entry = state.get(path, {"offset": 0})
    seen[path] = entry
    if st.st_size <= entry["offset"]:
        continue
    newest = None
    with open(path, "rb") as f:
        f.seek(entry["offset"])
        for raw in f:
            if not raw.endswith(b"\n"):
                break  # a line still being written: read it next time
            entry["offset"] += len(raw)
            try:
                item = json.loads(raw)
            except ValueError:
                continue
            payload = item.get("payload") or {}
            kind = item.get("type")
            if kind == "session_meta":
                entry["session_id"] = payload.get("id", "")
                entry["cwd"] = payload.get("cwd", "")
            elif kind == "turn_context":
                entry["model"] = payload.get("model", entry.get("model", ""))
                entry["cwd"] = payload.get("cwd", entry.get("cwd", ""))
            elif kind == "event_msg" and payload.get("type") == "token_count" and payload.get("rate_limits"):
                newest = (item.get("timestamp", ""), payload["rate_limits"])
    if newest:
        try:
            ts = int(datetime.datetime.fromisoformat(newest[0].replace("Z", "+00:00")).timestamp())
        except ValueError:
            ts = int(time.time())
        print(json.dumps({"session_id": entry.get("session_id", ""), "ts": ts,
                          "model": entry.get("model", ""), "cwd": entry.get("cwd", ""),
                          "account": "", "rate_limits": newest[1]}))
tmp = state_path + ".tmp"
with open(tmp, "w") as f:
    json.dump(seen, f)
os.replace(tmp, state_path)
EOF

# A systemd user service where the member has a user manager; otherwise the hooks run a round of
# the same script at every session start and answer.
# Only a user manager that runs for this very home reads the unit written below.
unit_dir="$HOME/.config/systemd/user"
rm -f "$B/state/presence-service"
if have systemctl && systemctl --user show-environment 2>/dev/null | grep -qxF "HOME=$HOME"; then
  mkdir -p "$unit_dir"
  put "$unit_dir/corvane-presence.service" 644 <<EOF
[Unit]
Description=Corvane Team presence

[Service]
ExecStart=%h/.brindle/bin/presence.sh
Environment="PATH=$PATH"
Restart=always
RestartSec=30

[Install]
WantedBy=default.target
EOF
  if systemctl --user daemon-reload && systemctl --user enable corvane-presence.service >/dev/null 2>&1 &&
     systemctl --user restart corvane-presence.service; then
    touch "$B/state/presence-service"
  fi
fi
[ -f "$B/state/presence-service" ] || "$B/bin/presence.sh" --once </dev/null >/dev/null 2>&1 || true

if [ "$settings_failed" = 3 ]; then
  echo "Настройка не завершена: $SETTINGS не JSON" >&2
  exit 3
fi
echo "Готово: настройка завершена"
exit __EXIT__

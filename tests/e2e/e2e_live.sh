#!/usr/bin/env bash
# End-to-end test of the live window on a real X display: the real program
# stays open on the real box service (libtessad, gocryptfs) in a temporary
# box root while other programs change the boxes:
#
#   vaultrane-box creates, mounts, unmounts and deletes;
#   the session agent unmounts on a ScreenSaver signal (private session bus);
#   a second account shares a box with the user and takes the share back.
#
# After each change the window's picture must change within 1 s of the
# change being complete. At the end the idle window must use no processor
# time. Run through scripts/with-display.sh:
#
#   scripts/with-display.sh tests/e2e/e2e_live.sh build/vaultrane \
#       build/cli/vaultrane-box build/agent/vaultrane-agent [SCREENSHOT_DIR]
#
# Exits 77 (skipped) when a tool is missing or the program cannot be started
# with a matching login uid. The part with a second account needs root (to
# make a throwaway account); without it that part is skipped with a line.
set -euo pipefail

program="$(realpath "${1:?usage: $0 vaultrane vaultrane-box vaultrane-agent [SCREENSHOT_DIR]}")"
box_cli="$(realpath "${2:?}")"
agent="$(realpath "${3:?}")"
shots="${4:-}"

skip() { echo "SKIP: $*" >&2; exit 77; }
fail() {
  echo "FAIL: $*" >&2
  screenshot failure
  [ -s "${work:-}/program.log" ] && { echo "the program's errors:" >&2; grep -v '^ ' "$work/program.log" | tail -20 >&2; }
  exit 1
}
step() { echo "== $*"; }

[ -n "${DISPLAY:-}" ] || skip "no DISPLAY (run through scripts/with-display.sh)"
for tool in xdotool xwd gocryptfs fusermount3 dbus-daemon dbus-send; do
  command -v "$tool" >/dev/null || skip "$tool is missing"
done
[ -r /dev/fuse ] && [ -w /dev/fuse ] || skip "/dev/fuse cannot be opened: encrypted boxes cannot mount here"

readonly main_title="Venmora文件保护箱"
readonly password="Secret_1"
readonly visible_within_ms=1000

work="$(mktemp -d)"
app_pid="" agent_pid="" bus_pids=() other=""
cleanup() {
  for pid in "$app_pid" "$agent_pid" "${bus_pids[@]}"; do
    [ -n "$pid" ] || continue
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  grep -o "$work/[^ ]*" /proc/mounts 2>/dev/null | while read -r mnt; do fusermount3 -u "$mnt" 2>/dev/null || true; done || true
  if [ -n "$other" ]; then
    pkill -KILL -u "$other" 2>/dev/null || true
    userdel "$other" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Another account must be able to reach the box root.
chmod 0711 "$work"
export BOX_SERVICE_ROOT="$work/root"
mkdir -m 1777 "$BOX_SERVICE_ROOT"
export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
export XDG_RUNTIME_DIR="$work/run"
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
unset SESSION_MANAGER
mkdir -p "$XDG_CONFIG_HOME" "$work/bin"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
printf '#!/bin/sh\nexit 0\n' > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"
login="$(id -un)"
boxes="$BOX_SERVICE_ROOT/$login"

# --- two private buses: the agent listens on both ----------------------------
start_bus() {
  local name="$1"
  cat > "$work/$name.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:path=$work/$name.socket</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/><allow user="*"/></policy></busconfig>
EOF
  dbus-daemon --config-file="$work/$name.conf" --nofork --print-address=1 > "$work/$name.address" &
  bus_pids+=("$!")
}
start_bus session
start_bus system
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/session.socket"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/system.socket"

# --- waiting -------------------------------------------------------------------
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
wait_for() {
  local what="$1" deadline=$(( SECONDS + 30 ))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || fail "timed out waiting for: $what"
    sleep 0.05
  done
}
is_mounted() { grep -q " $boxes/$1 fuse.gocryptfs " /proc/mounts; }
not_mounted() { ! is_mounted "$1"; }
screenshot() {
  [ -n "$shots" ] && command -v import >/dev/null || return 0
  mkdir -p "$shots"
  import -window root "$shots/live-$1.png" 2>/dev/null || true
}

# The window's picture, as a hash.
picture() { xwd -silent -id "$main" | md5sum | cut -d' ' -f1; }
before=""
remember_picture() { sleep 0.3; before="$(picture)"; }
# The window's picture differs from the one remembered, within the limit
# counted from the moment the change was complete ($1, in ms).
expect_shown() {
  local what="$1" since="$2" took
  while [ "$(picture)" = "$before" ]; do
    took=$(( $(now_ms) - since ))
    [ "$took" -le $(( visible_within_ms * 5 )) ] || fail "$what: the window did not change"
    sleep 0.02
  done
  took=$(( $(now_ms) - since ))
  echo "   shown after $took ms"
  [ "$took" -le "$visible_within_ms" ] || fail "$what: shown only after $took ms"
  screenshot "$(echo "$what" | tr ' ' '-')"
}

cli() { "$box_cli" "$@"; }

# --- start ---------------------------------------------------------------------
step "an encrypted box exists before the window opens"
printf '%s\n' "$password" | cli create alpha --encrypt >/dev/null || fail "vaultrane-box create alpha --encrypt"

uid="$(id -u)"
loginuid="$(cat /proc/self/loginuid 2>/dev/null || echo none)"
if [ "$loginuid" = "$uid" ]; then
  "$program" >"$work/program.log" 2>&1 &
elif [ "$uid" = 0 ] && sh -c 'echo 0 > /proc/self/loginuid' 2>/dev/null; then
  sh -c 'echo 0 > /proc/self/loginuid && exec "$0"' "$program" >"$work/program.log" 2>&1 &
else
  skip "login uid $loginuid differs from uid $uid and cannot be set"
fi
app_pid=$!
main="$(timeout 30 xdotool search --sync --onlyvisible --name "^${main_title}\$" | head -n1)" \
  || fail "the main window did not appear"
screenshot 00-start

step "vaultrane-box create"
remember_picture
cli create beta >/dev/null || fail "vaultrane-box create beta"
expect_shown "01 created" "$(now_ms)"

step "vaultrane-box mount"
remember_picture
printf '%s\n' "$password" | cli mount alpha >/dev/null || fail "vaultrane-box mount alpha"
wait_for "alpha mounted" is_mounted alpha
expect_shown "02 mounted" "$(now_ms)"

step "vaultrane-box unmount"
remember_picture
cli unmount alpha >/dev/null || fail "vaultrane-box unmount alpha"
expect_shown "03 unmounted" "$(now_ms)"

step "the agent unmounts on a ScreenSaver signal"
printf '%s\n' "$password" | cli mount alpha >/dev/null || fail "vaultrane-box mount alpha again"
"$agent" --retry-seconds 0.3 >"$work/agent.log" 2>&1 &
agent_pid=$!
sleep 1 # it subscribes to the session bus
remember_picture
dbus-send --session --type=signal /org/freedesktop/ScreenSaver org.freedesktop.ScreenSaver.ActiveChanged boolean:true
wait_for "the agent to unmount alpha" not_mounted alpha
expect_shown "04 locked by the agent" "$(now_ms)"

step "vaultrane-box delete"
remember_picture
cli delete beta --yes >/dev/null || fail "vaultrane-box delete beta"
expect_shown "05 deleted" "$(now_ms)"

step "the table view from here on"
remember_picture
eval "$(xdotool getwindowgeometry --shell "$main")"
# The table-mode button, at the right end of the bottom bar.
xdotool mousemove $((X + 719)) $((Y + 540)) click 1 mousemove $((X + 400)) $((Y + 100))
expect_shown "05 table view" "$(now_ms)"

step "a second account shares a box, then takes the share back"
if [ "$uid" != 0 ] || ! command -v useradd >/dev/null || ! command -v runuser >/dev/null; then
  echo "   skipped: making a second account needs root and useradd"
else
  other="vlive$$"
  useradd -M -d "$work/other" -s /bin/sh "$other" || fail "useradd $other"
  mkdir -m 0700 "$work/other" && chown "$other" "$work/other"
  as_other() {
    runuser -u "$other" -- env HOME="$work/other" XDG_CONFIG_HOME="$work/other/.config" \
      XDG_RUNTIME_DIR="$work/other" BOX_SERVICE_ROOT="$BOX_SERVICE_ROOT" "$box_cli" "$@"
  }
  as_other create letters >/dev/null || fail "$other: vaultrane-box create letters"
  remember_picture
  as_other share letters "$login" --read-only >/dev/null || fail "$other: vaultrane-box share letters $login"
  expect_shown "06 shared by another account" "$(now_ms)"
  remember_picture
  as_other unshare letters "$login" >/dev/null || fail "$other: vaultrane-box unshare letters $login"
  expect_shown "07 share taken back" "$(now_ms)"
fi

step "the idle window uses no processor time"
sleep 1
ticks() { awk '{ print $14 + $15 }' "/proc/$app_pid/stat"; }
first="$(ticks)"
sleep 3
last="$(ticks)"
[ "$last" -le $(( first + 1 )) ] || fail "the idle window used $(( last - first )) clock ticks in 3 s"

kill -0 "$app_pid" || fail "the program has quit"
echo "PASS"

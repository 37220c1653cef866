#!/usr/bin/env bash
# End-to-end test on a real X display: runs the real program against the real
# box service (libtessad, gocryptfs) in a temporary box root and drives it
# like a user, with the keyboard (and the mouse where only the mouse reaches),
# through create encrypted -> mount -> unmount -> rename -> change password
# -> share with a second account, who mounts it from its own window (as root)
# -> delete. After every step it checks the disk, and it checks where every
# dialog appears relative to the main window.
#
#   scripts/with-display.sh tests/e2e/e2e_display.sh build/vaultrane [SCREENSHOT_DIR]
#
# Needs DISPLAY with a window manager (with-display.sh provides both),
# xdotool and xwininfo. With SCREENSHOT_DIR (and ImageMagick's `import`) it
# saves a picture of the screen with each dialog over the main window.
# Exits 77 (skipped) when a tool is missing or the program cannot be started
# with a matching login uid.
set -euo pipefail

program="$(realpath "${1:?usage: $0 PATH/TO/vaultrane [SCREENSHOT_DIR]}")"
shots="${2:-}"

skip() { echo "SKIP: $*" >&2; exit 77; }
fail() {
  echo "FAIL: $*" >&2
  echo "windows on the screen:" >&2
  xdotool search --onlyvisible --name '.' 2>/dev/null | while read -r id; do
    echo "  \"$(xdotool getwindowname "$id")\" $(xdotool getwindowgeometry --shell "$id" | grep '^[XYWH]' | tr '\n' ' ')" >&2
  done
  [ -n "$shots" ] && screenshot failure
  [ -s "${work:-}/program.log" ] && { echo "the program's output:" >&2; cat "$work/program.log" >&2; }
  [ -s "${work:-}/program-b.log" ] && { echo "the second account's program's output:" >&2; cat "$work/program-b.log" >&2; }
  exit 1
}
step() { echo "== $*"; }

[ -n "${DISPLAY:-}" ] || skip "no DISPLAY (run through scripts/with-display.sh)"
for tool in xdotool xwininfo gocryptfs fusermount3; do
  command -v "$tool" >/dev/null || skip "$tool is missing"
done

readonly timeout_s=30
readonly main_title="Venmora文件保护箱"
readonly password="Secret_1"
readonly new_password="Better_2"

# --- a private world: box root, home, XDG folders, a recording xdg-open ---
work="$(mktemp -d)"
app_pid=""
sharee="vbe$$" sharee_pid="" sharee_made=""
cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
  if [ -n "$sharee_pid" ]; then kill "$sharee_pid" 2>/dev/null || true; wait "$sharee_pid" 2>/dev/null || true; fi
  # A box left mounted by a failed run would keep its folder busy.
  grep -o "$work/[^ ]*" /proc/mounts 2>/dev/null | while read -r mnt; do fusermount3 -u "$mnt" 2>/dev/null || true; done || true
  rm -rf "$work"
  if [ -n "$sharee_made" ]; then
    pkill_ids="$(pgrep -u "$sharee" 2>/dev/null || true)"
    for id in $pkill_ids; do kill "$id" 2>/dev/null || true; done
    userdel "$sharee" >/dev/null 2>&1 || true
  fi
}
trap cleanup EXIT

export BOX_SERVICE_ROOT="$work/root"
export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
export XDG_RUNTIME_DIR="$work/run"
export QT_QPA_PLATFORM=xcb
unset SESSION_MANAGER DBUS_SESSION_BUS_ADDRESS
mkdir -p "$BOX_SERVICE_ROOT" "$XDG_CONFIG_HOME" "$work/bin"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
# Opening a mounted box starts xdg-open: record what it was asked to open.
opened="$work/opened"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s"\n' "$opened" > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"

login="$(id -un)"
boxes="$BOX_SERVICE_ROOT/$login"

# --- waiting, never sleeping for a guessed time -----------------------------
# Runs the command until it succeeds; fails the test after the time-out.
wait_for() {
  local what="$1"
  shift
  local deadline=$((SECONDS + timeout_s))
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || fail "timed out waiting for: $what"
    sleep 0.05
  done
}

# The id of the visible window titled exactly $1, once it has the focus.
wait_window() {
  local title="$1" id
  id="$(timeout "$timeout_s" xdotool search --sync --onlyvisible --name "^${title}\$" | head -n1)" \
    || fail "window \"$title\" did not appear"
  wait_for "focus on \"$title\"" has_focus "$id"
  echo "$id"
}
has_focus() { [ "$(xdotool getwindowfocus)" = "$1" ]; }
is_gone() { ! xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable'; }
wait_gone() { wait_for "window $1 to close" is_gone "$1"; }

# Sets X, Y, WIDTH and HEIGHT of a window (its position on the screen).
geometry() {
  unset X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1")"
}

# The dialog sits over the main window, horizontally centred, and vertically
# centred or (with $3) that many pixels below the main window's top.
expect_placed() {
  local dialog="$1" main="$2" top="${3:-}" name
  name="$(xdotool getwindowname "$dialog")"
  geometry "$main"
  local mx=$X my=$Y mw=$WIDTH mh=$HEIGHT
  geometry "$dialog"
  local want_x=$((mx + mw / 2 - WIDTH / 2))
  local want_y=$((my + mh / 2 - HEIGHT / 2))
  [ -n "$top" ] && want_y=$((my + top))
  [ "$X,$Y" = "$want_x,$want_y" ] || fail "\"$name\" at $X,$Y (${WIDTH}x$HEIGHT), expected $want_x,$want_y over the main window at $mx,$my (${mw}x$mh)"
  expect_inside "$dialog" "$main"
}

# The whole dialog lies within the main window.
expect_inside() {
  local name
  name="$(xdotool getwindowname "$1")"
  geometry "$2"
  local mx=$X my=$Y mw=$WIDTH mh=$HEIGHT
  geometry "$1"
  if [ "$X" -lt "$mx" ] || [ "$Y" -lt "$my" ] || [ $((X + WIDTH)) -gt $((mx + mw)) ] || [ $((Y + HEIGHT)) -gt $((my + mh)) ]; then
    fail "\"$name\" at $X,$Y (${WIDTH}x$HEIGHT) reaches outside the main window at $mx,$my (${mw}x$mh)"
  fi
}

height_below() { geometry "$1"; [ "$HEIGHT" -lt "$2" ]; }
height_is() { geometry "$1"; [ "$HEIGHT" -eq "$2" ]; }
position_is() { geometry "$1"; [ "$X,$Y" = "$2" ]; }

expect_geometry() {
  geometry "$1"
  [ "$X,$Y,$WIDTH,$HEIGHT" = "$2" ] || fail "$3: window at $X,$Y ${WIDTH}x$HEIGHT, expected $2"
}

screenshot() {
  [ -n "$shots" ] && command -v import >/dev/null || return 0
  mkdir -p "$shots"
  import -window root "$shots/$1.png"
}

type_text() { xdotool type --delay 20 "$1"; }
keys() { xdotool key --delay 20 "$@"; }

is_mounted() { grep -q " $boxes/$1 fuse.gocryptfs " /proc/mounts; }
not_mounted() { ! is_mounted "$1"; }
was_opened() { grep -qx "file://$boxes/$1" "$opened"; }
is_encrypted_box() { [ -d "$boxes/$1" ] && [ -f "$boxes/.boxes/c/$1/gocryptfs.conf" ]; }
is_absent() { [ ! -e "$boxes/$1" ] && [ ! -e "$boxes/.boxes/c/$1" ]; }

# Icon view: the first box's icon, relative to the main window.
readonly first_icon_x=65 first_icon_y=228
# Right-clicks the first box and waits for its context menu.
# The window reloads within a moment of every change made elsewhere (an
# unmount, say); a right-click that lands while the view is rebuilt opens
# no menu, so it is tried again.
open_box_menu() {
  geometry "$main"
  local before attempt tick
  for attempt in 1 2 3; do
    before="$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | sort | tr '\n' ' ')"
    xdotool mousemove $((X + first_icon_x)) $((Y + first_icon_y)) click 3
    for tick in $(seq 30); do
      new_window_since "$before" && return 0
      sleep 0.1
    done
  done
  fail "the box's context menu did not open"
}
new_window_since() {
  [ "$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | sort | tr '\n' ' ')" != "$1" ]
}

# --- start -------------------------------------------------------------------
# The program refuses to start unless the login uid is the user it runs as.
# A root without a login uid (a CI container) takes login uid 0 for the
# program alone, as a login on the console would give it.
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

step "start: the main window has the focus; Enter and Space do not close it"
main="$(wait_window "$main_title")"
keys Return space
screenshot 01-main

step "create an encrypted box with the keyboard (Tab to 新建, name, switch, passwords)"
keys Tab space
dialog="$(wait_window "创建保护箱")"
expect_placed "$dialog" "$main"
screenshot 02-create
type_text alpha
keys Tab space Tab
geometry "$dialog"
encrypted_size="$X,$Y,$WIDTH,$HEIGHT"
screenshot 03-create-encrypted
# A password against the rule: the two-line hint shows, the dialog keeps its size.
type_text abc
keys Tab
type_text abc
keys Return
# Nothing observable happens outside the dialog: give it a moment to relayout.
sleep 0.5
expect_geometry "$dialog" "$encrypted_size" "the create dialog after the password hint"
expect_inside "$dialog" "$main"
screenshot 04-create-hint
keys shift+Tab ctrl+a
type_text "$password"
keys Tab ctrl+a
type_text "$password"
keys Return
# A box that becomes encrypted shows its recovery key once; 完成 has the focus.
key_dialog="$(wait_window "恢复密钥")"
screenshot 04b-recovery-key
keys Return
wait_gone "$key_dialog"
wait_gone "$dialog"
wait_for "alpha on disk, encrypted" is_encrypted_box alpha

step "select it from the keyboard and mount it (double click, password)"
keys shift+Tab Home
geometry "$main"
xdotool mousemove $((X + first_icon_x)) $((Y + first_icon_y)) click --repeat 2 --delay 80 1
dialog="$(wait_window "保护箱挂载")"
expect_placed "$dialog" "$main"
screenshot 05-mount
type_text "$password"
keys Return
wait_gone "$dialog"
wait_for "alpha mounted" is_mounted alpha
wait_for "alpha opened in the file manager" was_opened alpha

step "unmount it (context menu, 卸载)"
open_box_menu
screenshot 06-menu
keys Down Return
wait_for "alpha unmounted" not_mounted alpha

step "rename it (context menu, 重命名)"
open_box_menu
keys Up Return
dialog="$(wait_window "重命名")"
expect_placed "$dialog" "$main"
screenshot 07-rename
type_text beta
keys Tab
type_text "$password"
keys Return
wait_gone "$dialog"
wait_for "alpha renamed to beta" is_encrypted_box beta
wait_for "alpha gone" is_absent alpha

step "change its password (context menu, 密码设置), with a drag and a wrong password on the way"
conf_before="$(sha256sum < "$boxes/.boxes/c/beta/gocryptfs.conf")"
open_box_menu
keys Down Down Return
dialog="$(wait_window "密码设置")"
expect_placed "$dialog" "$main" 60
screenshot 08-change-password
# Switching to 解除保护 and back changes the height, never the place.
geometry "$dialog"
placed="$X,$Y" full_height=$HEIGHT
keys shift+Tab space
wait_for "密码设置 to shrink for 解除保护" height_below "$dialog" "$full_height"
geometry "$dialog"
[ "$X,$Y" = "$placed" ] || fail "密码设置 moved to $X,$Y after switching to 解除保护 (was at $placed)"
screenshot 09-remove-password
keys Left
wait_for "密码设置 to grow back" height_is "$dialog" "$full_height"
geometry "$dialog"
[ "$X,$Y" = "$placed" ] || fail "密码设置 moved to $X,$Y after switching back (was at $placed)"
keys Tab
# A drag moves it exactly as far as the pointer went.
start_x=${placed%,*} start_y=${placed#*,}
xdotool mousemove $((start_x + 20)) $((start_y + 120)) mousedown 1 \
  mousemove $((start_x + 30)) $((start_y + 130)) mousemove $((start_x + 40)) $((start_y + 140)) mouseup 1
wait_for "密码设置 to follow the drag by 20,20" position_is "$dialog" "$((start_x + 20)),$((start_y + 20))"
# The wrong current password: the warning shows over the dialog.
type_text wrong_password
keys Tab
type_text "$new_password"
keys Tab
type_text "$new_password"
keys Return
warning="$(wait_window "警告")"
geometry "$dialog"
dx=$X dy=$Y dw=$WIDTH dh=$HEIGHT
geometry "$warning"
[ "$X,$Y" = "$((dx + dw / 2 - WIDTH / 2)),$((dy + dh / 2 - HEIGHT / 2))" ] || fail "the warning at $X,$Y is not centred on 密码设置 at $dx,$dy"
expect_inside "$warning" "$main"
screenshot 10-wrong-password
keys Return
wait_gone "$warning"
wait_for "focus back on 密码设置" has_focus "$dialog"
[ "$(sha256sum < "$boxes/.boxes/c/beta/gocryptfs.conf")" = "$conf_before" ] || fail "a wrong password changed the box"
geometry "$dialog"
[ "$X,$Y" = "$((start_x + 20)),$((start_y + 20))" ] || fail "密码设置 moved to $X,$Y after the warning"
keys shift+Tab shift+Tab ctrl+a
type_text "$password"
keys Return
wait_gone "$dialog"
wait_for "the password changed on disk" test "$(sha256sum < "$boxes/.boxes/c/beta/gocryptfs.conf")" != "$conf_before"
is_encrypted_box beta || fail "beta is no longer an encrypted box"

step "a second account mounts the shared box from its own window, at a folder of its own"
# Needs root to make the account; skipped (the rest still runs) otherwise.
box_cli="${VAULTRANE_BOX:-$(dirname "$program")/cli/vaultrane-box}"
# Read and write for others in the device's mode (crw-rw-rw-).
fuse_open_to_all() { case "$(stat -Lc %A /dev/fuse 2>/dev/null)" in ???????rw?) return 0 ;; esac; return 1; }
if [ "$(id -u)" != 0 ] || ! command -v useradd >/dev/null || ! command -v setpriv >/dev/null || [ ! -x "$box_cli" ]; then
  echo "SKIP the second account: needs root, useradd, setpriv and vaultrane-box"
elif ! fuse_open_to_all; then
  echo "SKIP the second account: /dev/fuse is not open to ordinary accounts (chmod 0666 /dev/fuse)"
elif ! useradd -M -N -s /bin/bash "$sharee"; then
  echo "SKIP the second account: useradd failed"
else
  sharee_made=1
  sharee_uid="$(id -u "$sharee")" sharee_gid="$(id -g "$sharee")"
  # The account reaches the box root and has a home, XDG folders and a
  # recording xdg-open of its own.
  chmod 0755 "$work"
  chmod 1777 "$BOX_SERVICE_ROOT"
  home_b="$work/home-$sharee"
  mkdir -p "$home_b/.config" "$home_b/run" "$home_b/bin"
  opened_b="$home_b/opened"
  printf '#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s"\n' "$opened_b" > "$home_b/bin/xdg-open"
  chmod +x "$home_b/bin/xdg-open"
  chmod 0700 "$home_b/run"
  chown -R "$sharee_uid:$sharee_gid" "$home_b"
  printf '%s\n' "$new_password" | "$box_cli" share beta "$sharee" --read-write >/dev/null \
    || fail "sharing beta with $sharee"
  # Its own login uid, as its own login would give it.
  sh -c 'echo "$1" > /proc/self/loginuid && exec setpriv --reuid="$1" --regid="$2" --init-groups \
    env HOME="$3" XDG_CONFIG_HOME="$3/.config" XDG_RUNTIME_DIR="$3/run" PATH="$3/bin:$PATH" "$0"' \
    "$program" "$sharee_uid" "$sharee_gid" "$home_b" >"$work/program-b.log" 2>&1 &
  sharee_pid=$!
  # --all: the process and the title, not either (the owner's window has the
  # same title).
  main_b="$(timeout "$timeout_s" xdotool search --all --sync --onlyvisible --pid "$sharee_pid" --name "^${main_title}\$" | head -n1)" \
    || fail "the second account's window did not appear"
  wait_for "focus on the second account's window" has_focus "$main_b"
  screenshot 12-sharee-main
  point="$BOX_SERVICE_ROOT/$sharee/.boxes/mnt/$login/beta"
  sharee_mounted() { grep -q " $point fuse.gocryptfs " /proc/mounts; }
  geometry "$main_b"
  xdotool mousemove $((X + first_icon_x)) $((Y + first_icon_y)) click --repeat 2 --delay 80 1
  dialog="$(wait_window "保护箱挂载")"
  expect_placed "$dialog" "$main_b"
  type_text "$new_password"
  keys Return
  wait_gone "$dialog"
  wait_for "beta mounted by the second account" sharee_mounted
  wait_for "the second account's mount opened in its file manager" grep -qx "file://$point" "$opened_b"
  is_mounted beta && fail "the second account's mount went to the owner's box folder"
  screenshot 13-sharee-mounted
  # Meanwhile the owner may not delete it.
  printf '%s\n' "$new_password" | "$box_cli" delete beta >/dev/null 2>&1 && fail "the owner deleted a box another account has mounted"
  is_encrypted_box beta || fail "beta went while the second account had it mounted"
  # The owner's window says who has it mounted.
  xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
  wait_for "focus on the owner's window" has_focus "$main"
  screenshot 13b-owner-while-sharee-mounted
  xdotool windowactivate --sync "$main_b" >/dev/null 2>&1 || true
  wait_for "focus back on the second account's window" has_focus "$main_b"
  # 卸载 is the only entry of its menu.
  geometry "$main_b"
  before="$(xdotool search --onlyvisible --pid "$sharee_pid" 2>/dev/null | sort | tr '\n' ' ')"
  xdotool mousemove $((X + first_icon_x)) $((Y + first_icon_y)) click 3
  wait_for "the second account's context menu" sh -c '[ "$(xdotool search --onlyvisible --pid "$0" 2>/dev/null | sort | tr "\n" " ")" != "$1" ]' "$sharee_pid" "$before"
  screenshot 14-sharee-menu
  keys Down Return
  sharee_unmounted() { ! sharee_mounted; }
  wait_for "the second account's mount gone" sharee_unmounted
  # The owner's window offers 删除 and 重命名 again once it has heard of
  # it: within its watcher's longest delay (0.4 s).
  sleep 0.5
  kill "$sharee_pid" 2>/dev/null || true
  wait "$sharee_pid" 2>/dev/null || true
  sharee_pid=""
  # Back to the owner's window.
  xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
  wait_for "focus back on the owner's window" has_focus "$main"
fi

step "delete it (context menu, 删除, the new password)"
open_box_menu
keys Up Up Return
dialog="$(wait_window "密码认证")"
expect_placed "$dialog" "$main"
screenshot 11-delete
type_text "$new_password"
keys Return
wait_gone "$dialog"
wait_for "beta deleted" is_absent beta

step "the program is still running"
kill -0 "$app_pid" || fail "the program has quit"
echo "PASS"

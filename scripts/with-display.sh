#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb) with a window manager (openbox),
# so that window placement, focus and activation behave as on a desktop:
#
#   scripts/with-display.sh COMMAND [ARGS...]
#
# The command gets DISPLAY and QT_QPA_PLATFORM=xcb; the server and the window
# manager are stopped afterwards, whatever happens. Each call starts its own
# server on a free display number, so calls may run side by side and never
# touch the display of the desktop the caller sits at.
# Exits 77 (a skipped test for ctest) when Xvfb, openbox or xprop is missing.
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 COMMAND [ARGS...]" >&2
  exit 2
fi
for tool in Xvfb openbox xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is missing (scripts/install-deps.sh installs it)" >&2
    exit 77
  fi
done

startup_timeout_s=20
work="$(mktemp -d)"
xvfb_pid=""
wm_pid=""
cleanup() {
  stop_display
  rm -rf "$work"
}
trap cleanup EXIT

stop_display() {
  if [ -n "$wm_pid" ]; then kill "$wm_pid" 2>/dev/null || true; wait "$wm_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  wm_pid=""
  xvfb_pid=""
}

# Starts Xvfb and openbox; returns non-zero (with the logs shown) when either
# does not come up in time.
start_display() {
  : >"$work/display"
  # Xvfb picks a free display itself and writes its number once it accepts
  # clients.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  local deadline=$((SECONDS + startup_timeout_s))
  while ! grep -q '^[0-9]' "$work/display" 2>/dev/null; do
    if ! kill -0 "$xvfb_pid" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
      echo "Xvfb did not start:" >&2
      cat "$work/xvfb.log" >&2
      return 1
    fi
    sleep 0.05
  done
  export DISPLAY=":$(head -n1 "$work/display")"
  # openbox announces itself on the root window once it manages the screen.
  HOME="$work" openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  while ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    if ! kill -0 "$wm_pid" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
      echo "openbox did not start on $DISPLAY:" >&2
      cat "$work/openbox.log" >&2
      return 1
    fi
    sleep 0.05
  done
}

# Another X server starting at the same moment may take the same display
# number; a second or third try gets another one.
attempt=1
until start_display; do
  stop_display
  if [ "$attempt" -ge 3 ]; then
    echo "no X display with a window manager after $attempt tries" >&2
    exit 1
  fi
  attempt=$((attempt + 1))
done

export QT_QPA_PLATFORM=xcb
status=0
"$@" || status=$?
exit "$status"
